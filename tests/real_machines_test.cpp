#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fixture_tree.hpp"
#include "linux_topology/cpu_list.hpp"
#include "linux_kernel32/processor_groups.hpp"

namespace procgroups {
namespace {

namespace fs = std::filesystem;

const fs::path kMachines = PROCGROUPS_MACHINES_DIR;

std::string read_whole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The captures lost the empty nodeK folders that the kernel makes for every
// node in node/online (a copy keeps no empty folder); put them back so the
// tree is what the machine showed.
void restore_empty_node_folders(const fs::path& root) {
    CpuSet nodes;
    if (!fs::exists(root / "node/online") || !parse_cpu_list(read_whole(root / "node/online"), nodes)) {
        return;
    }
    nodes.for_each([&root](std::uint32_t node) { fs::create_directories(root / "node" / ("node" + std::to_string(node))); });
}

// "16" or "64,16" for groups; "error 2" for a machine whose first query fails.
std::string describe(const ProcessorGroups& groups) {
    if (groups.error != 0) {
        return "error " + std::to_string(groups.error);
    }
    std::string sizes;
    for (const DWORD size : groups.group_sizes) {
        if (!sizes.empty()) {
            sizes += ',';
        }
        sizes += std::to_string(size);
    }
    return sizes;
}

TEST(RealMachinesTest, FormTheExpectedGroups) {
    if (!fs::exists(kMachines / "expected.tsv")) {
        GTEST_SKIP() << "no captured machines at " << kMachines << ": nothing to check";
    }
    std::istringstream table(read_whole(kMachines / "expected.tsv"));
    std::string row;
    std::getline(table, row);  // column names
    int checked = 0;
    while (std::getline(table, row)) {
        std::istringstream fields(row);
        std::string machine;
        std::string online;
        std::string expected;
        std::getline(fields, machine, '\t');
        std::getline(fields, online, '\t');
        std::getline(fields, expected);
        SCOPED_TRACE(machine);

        const FixtureTree copy;
        fs::copy(kMachines / machine, copy.root(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        restore_empty_node_folders(copy.root());
        const ProcessorGroups groups = form_processor_groups(copy.root().c_str());
        EXPECT_EQ(describe(groups), expected);
        EXPECT_EQ(groups.error != 0 ? "-" : std::to_string(groups.online_count), online);
        ++checked;
    }
    EXPECT_GE(checked, 20);
}

// Trees that Debian's kernels wrote, booted under QEMU by
// tests/real_kernel/boot_test.sh: at boot, and after the machine's last step
// (CPUs taken offline, SMT turned off). Each line of a capture is a file the
// tool reads, "path:content"; every such file is one line.
struct KernelTree {
    const char* capture;
    const char* groups;
    std::vector<std::pair<unsigned, WORD>> group_of_cpu;  // spot checks
};

void PrintTo(const KernelTree& tree, std::ostream* out) { *out << tree.capture; }

class KernelTreeTest : public testing::TestWithParam<KernelTree> {};

TEST_P(KernelTreeTest, FormsTheGroupsOfTheBootedMachine) {
    std::istringstream lines(read_whole(fs::path(PROCGROUPS_KERNEL_TREES_DIR) / GetParam().capture));
    const FixtureTree tree;
    std::string line;
    int files = 0;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        ASSERT_NE(colon, std::string::npos) << line;
        tree.write(line.substr(0, colon), line.substr(colon + 1) + "\n");
        ++files;
    }
    ASSERT_GT(files, 100);
    const ProcessorGroups groups = form_processor_groups(tree.root().c_str());
    EXPECT_EQ(describe(groups), GetParam().groups);
    for (const auto& [cpu, group] : GetParam().group_of_cpu) {
        ASSERT_LT(cpu, groups.group_of_cpu.size());
        EXPECT_EQ(groups.group_of_cpu[cpu], group) << "CPU " << cpu;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Debian, KernelTreeTest,
    testing::Values(
        // Node 1 holds CPUs 0-39 and node 2 CPUs 40-71; node 0 is offline.
        KernelTree{"power_node_0_offline.boot", "40,32", {{39, 0}, {40, 1}}},
        KernelTree{"power_node_0_offline.after", "39,32", {{4, 0}, {6, 0}, {71, 1}}},  // CPU 5 offline
        // CPU 0, the boot processor, in node 1 (CPUs 0-19); node 0 holds 20-79.
        KernelTree{"power_boot_cpu_in_node_1.boot", "20,60", {{0, 0}, {19, 0}, {20, 1}}},
        // One node of 80: two sockets of two dies of ten two-thread cores.
        KernelTree{"two_sockets_of_two_dies.boot", "64,16", {{63, 0}, {64, 1}}},
        KernelTree{"two_sockets_of_two_dies.after", "40", {{78, 0}}},  // CPU 3 offline, then SMT
        // Nodes 0 and 1 in socket 0, 2 and 3 in socket 1, 20 CPUs each.
        KernelTree{"four_nodes_by_distance.boot", "40,40", {{20, 0}, {40, 1}, {79, 1}}},
        KernelTree{"four_nodes_by_distance.after", "40", {}},  // SMT off
        // Nodes 0 and 1 of 40 CPUs, node 2 of memory alone.
        KernelTree{"memory_only_node.boot", "40,40", {{39, 0}, {40, 1}}},
        KernelTree{"memory_only_node.after", "40,39", {{41, 1}}},  // CPU 40 offline
        KernelTree{"node_of_80.boot", "64,16", {{63, 0}, {64, 1}}},
        KernelTree{"node_of_80.after", "40", {}}),
    [](const testing::TestParamInfo<KernelTree>& p) {
        std::string name = p.param.capture;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

}  // namespace
}  // namespace procgroups
