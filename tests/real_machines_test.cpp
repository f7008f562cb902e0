#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixture_tree.hpp"
#include "win32/linux/cpu_set.hpp"
#include "win32/linux/processor_groups.hpp"

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

}  // namespace
}  // namespace procgroups
