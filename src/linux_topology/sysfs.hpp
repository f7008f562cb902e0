#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "linux_topology/cpu_list.hpp"
#include "linux_topology/descriptors.hpp"
#include "linux_topology/topology_error.hpp"

namespace procgroups {

// The K of a node/nodeK folder: a type of its own, so that the compiler
// tells it from a node index of the rules.
enum class NodeNumber : std::uint32_t {};

// A path below the sysfs root, built in place: the tool runs often enough that
// its start-up should not touch the heap for a file name.
class RelativePath {
public:
    // Inline, so that the copies of the literal parts are inlined too: big
    // machines build a path for every file they read.
    RelativePath& operator<<(std::string_view text) {
        const std::size_t taken = std::min(text.size(), chars_.size() - 1 - size_);  // keeps the terminating NUL
        std::memcpy(chars_.data() + size_, text.data(), taken);
        size_ += taken;
        return *this;
    }
    RelativePath& operator<<(NodeNumber node) { return *this << static_cast<std::uint32_t>(node); }
    RelativePath& operator<<(std::uint32_t number) {
        std::array<char, 10> digits{};
        const auto [end, status] = std::to_chars(digits.begin(), digits.end(), number);
        return *this << std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data()));
    }
    [[nodiscard]] const char* c_str() const { return chars_.data(); }

private:
    std::array<char, 96> chars_{};  // the longest path the layer reads is under 50
    std::size_t size_ = 0;
};

// node/nodeK/`file`.
[[nodiscard]] inline RelativePath node_file(NodeNumber node, std::string_view file) {
    RelativePath path;
    path << "node/node" << node << "/" << file;
    return path;
}

// Linux numbers NUMA nodes below this (MAX_NUMNODES is at most 1 << 10).
inline constexpr std::uint32_t kMaxNodeNumber = 1023;

// How a file's bytes are read: ::read, or a stand-in that a test controls.
using ReadFunction = ssize_t (*)(int fd, void* buffer, std::size_t size);

// A folder shaped like /sys/devices/system, opened once; every read is relative
// to it, so that a test can hand over any tree.
class SysfsTree {
public:
    explicit SysfsTree(const char* root, ReadFunction read = ::read);
    SysfsTree(const SysfsTree&) = delete;
    SysfsTree& operator=(const SysfsTree&) = delete;

    // Why the root could not be opened; kTopologyRead when it was.
    [[nodiscard]] TopologyError open_error() const { return open_error_; }

    // Reads a CPU list file; malformed content is kDamaged.
    [[nodiscard]] TopologyError read_cpu_list(const char* path, CpuSet& cpus) const;

    // Reads a CPU list file range by range, as parse_cpu_ranges does; malformed
    // content, or take_range refusing a range, is kDamaged.
    template <typename TakeRange>
    [[nodiscard]] TopologyError read_cpu_ranges(const char* path, TakeRange take_range) const {
        FileContent content;
        if (const TopologyError error = read_file(path, content); error != kTopologyRead) {
            return error;
        }
        return parse_cpu_ranges(content.text, take_range) ? kTopologyRead : kDamaged;
    }

    // Reads a topology id such as core_id.
    [[nodiscard]] TopologyError read_topology_id(const char* path, std::int64_t& id) const;

    // Hands parse(line) the text of a one-line attribute without its line
    // end; parse returning false is kDamaged.
    template <typename Parse>
    [[nodiscard]] TopologyError read_line(const char* path, Parse parse) const {
        FileContent content;
        if (const TopologyError error = read_file(path, content); error != kTopologyRead) {
            return error;
        }
        std::string_view line = content.text;
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
        }
        return parse(line) ? kTopologyRead : kDamaged;
    }

    // The numbers K of the node/nodeK folders, ascending. No node folder is a
    // kernel built without NUMA: no nodes, and no error.
    [[nodiscard]] TopologyError list_numa_nodes(std::vector<NodeNumber>& nodes) const;

    // The CPUs N that have a cpu/cpuN folder.
    [[nodiscard]] TopologyError list_cpu_folders(CpuSet& cpus) const;

private:
    // What each read asks for. The kernel serves an attribute at most a page per
    // read, and serves the CPU lists (node/nodeK/cpulist and the topology *_list
    // files, binary attributes since Linux 5.15) through cpumap_print_list_to_buf,
    // which returns one byte less than it was asked for while more of the list
    // follows, and moves the file offset by as much. Asking for no more than the
    // smallest page makes a read that returns its request, or one byte less, mean
    // "more may follow" on kernels of 4 KiB and of 64 KiB pages alike; only a
    // shorter read, or one of nothing, ends the file. (A request of a byte or two
    // would always come back empty from such a list, so none is ever that small.)
    static constexpr std::size_t kReadSize = 4096;

    // A file's bytes: in place when they fit a read, as sysfs files do, else on the heap.
    struct FileContent {
        std::array<char, kReadSize> page;
        std::string larger;
        std::string_view text;
    };

    // openat below the root; where the files held for closing use up the
    // descriptors, they are closed and the open tried once more.
    [[nodiscard]] int open_below_root(const char* path, int flags) const;
    [[nodiscard]] TopologyError read_file(const char* path, FileContent& content) const;

    // Hands visit(N) the number of every entry `prefix`N in the folder; a name
    // of that form that the kernel would never write, or N over `largest`, is damage.
    template <typename Visit>
    [[nodiscard]] TopologyError list_numbered(const char* folder, std::string_view prefix, std::uint32_t largest,
                                              Visit visit) const;

    ReadFunction read_;
    FileDescriptor root_;
    mutable ClosingBatch closing_;  // closed before the root, as members are destroyed in reverse
    TopologyError open_error_ = kTopologyRead;
};

}  // namespace procgroups
