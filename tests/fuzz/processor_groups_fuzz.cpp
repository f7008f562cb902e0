// Any bytes as a sysfs tree: the input is cut at '\x01' bytes into the contents
// of the files below, in order; files past the last piece are missing. Forming
// the groups must give a consistent answer or a Win32 error, never misbehave.
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "group_rules/group_assignment.hpp"
#include "linux_kernel32/processor_groups.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::array kFiles = {
    "cpu/online",
    "node/node0/cpulist",
    "node/node1/cpulist",
    "node/node7/cpulist",
    "node/node0/distance",
    "node/node1/distance",
    "cpu/cpu0/topology/core_cpus_list",
    "cpu/cpu0/topology/physical_package_id",
    "cpu/cpu0/topology/core_id",
    "cpu/cpu1/topology/thread_siblings_list",
    "cpu/cpu1/topology/die_id",
    "cpu/cpu64/topology/core_cpus_list",
    "cpu/cpu64/topology/core_id",
};

// One tree for the whole run, rewritten for each input and removed at exit.
struct FuzzTree {
    fs::path root;

    FuzzTree() {
        std::string pattern = (fs::temp_directory_path() / "procgroups-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        root = pattern;
    }
    FuzzTree(const FuzzTree&) = delete;
    FuzzTree& operator=(const FuzzTree&) = delete;
    ~FuzzTree() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

const fs::path& tree_root() {
    static const FuzzTree tree;
    return tree.root;
}

void check_consistent(const procgroups::ProcessorGroups& groups) {
    if (groups.error != 0) {
        return;
    }
    DWORD total = 0;
    for (const DWORD size : groups.group_sizes) {
        if (size == 0 || size > procgroups::kMaxGroupSize) {
            __builtin_trap();
        }
        total += size;
    }
    if (total != groups.online_count) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& root = tree_root();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    bool pieces_left = true;
    for (const char* file : kFiles) {
        const fs::path path = root / file;
        if (!pieces_left) {
            fs::remove(path);
            continue;
        }
        const std::size_t cut = input.find('\x01');
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << input.substr(0, cut);
        pieces_left = cut != std::string_view::npos;
        if (pieces_left) {
            input.remove_prefix(cut + 1);
        }
    }
    check_consistent(procgroups::form_processor_groups(root.c_str()));
    return 0;
}
