#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "win32/linux/cpu_set.hpp"
#include "win32/linux/win32_error.hpp"
#include "win32/linux/win32_subset.hpp"

namespace procgroups {

// A path below the sysfs root, built in place: the tool runs often enough that
// its start-up should not touch the heap for a file name.
class RelativePath {
public:
    RelativePath& operator<<(std::string_view text);
    RelativePath& operator<<(std::uint32_t number);
    [[nodiscard]] const char* c_str() const { return chars_.data(); }

private:
    std::array<char, 96> chars_{};  // the longest path the layer reads is under 50
    std::size_t size_ = 0;
};

// A folder shaped like /sys/devices/system, opened once; every read is relative
// to it, so that a test can hand over any tree.
class SysfsTree {
public:
    explicit SysfsTree(const char* root);
    SysfsTree(const SysfsTree&) = delete;
    SysfsTree& operator=(const SysfsTree&) = delete;
    ~SysfsTree();

    // Why the root could not be opened; kNoError when it was.
    [[nodiscard]] DWORD open_error() const { return open_error_; }

    // Reads a CPU list file; malformed content is ERROR_INVALID_DATA.
    [[nodiscard]] DWORD read_cpu_list(const char* path, CpuSet& cpus) const;

    // Reads a CPU list file range by range, as parse_cpu_ranges does; malformed
    // content, or take_range refusing a range, is ERROR_INVALID_DATA.
    template <typename TakeRange>
    [[nodiscard]] DWORD read_cpu_ranges(const char* path, TakeRange take_range) const {
        FileContent content;
        if (const DWORD error = read_file(path, content); error != kNoError) {
            return error;
        }
        return parse_cpu_ranges(content.text, take_range) ? kNoError : ERROR_INVALID_DATA;
    }

    // Reads a topology id such as core_id; a missing file counts as id 0, as on
    // a machine that does not report that level.
    [[nodiscard]] DWORD read_topology_id(const char* path, std::int64_t& id) const;

    // Reads a line of numbers separated by blanks, as node/nodeK/distance holds.
    [[nodiscard]] DWORD read_numbers(const char* path, std::vector<std::uint32_t>& numbers) const;

    // The numbers K of the node/nodeK folders, ascending. No node folder is a
    // kernel built without NUMA: no nodes, and no error.
    [[nodiscard]] DWORD list_numa_nodes(std::vector<std::uint32_t>& nodes) const;

private:
    // A file's bytes: in place when they fit a page, as sysfs files do, else on the heap.
    struct FileContent {
        std::array<char, 4096> page;
        std::string larger;
        std::string_view text;
    };

    [[nodiscard]] DWORD read_file(const char* path, FileContent& content) const;

    int root_fd_ = -1;
    DWORD open_error_ = kNoError;
};

}  // namespace procgroups
