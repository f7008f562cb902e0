#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <concepts>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fixture_tree.hpp"
#include "linux_kernel32/processor_groups.hpp"

namespace procgroups {
namespace {

// A machine as the fixture code writes it, then files written over it and
// files removed, as kernels of other versions or a CPU going offline leave them.
struct GroupingCase {
    const char* name;
    MachineShape machine;
    std::vector<DWORD> group_sizes;
    std::vector<std::pair<unsigned, WORD>> group_of_cpu;  // spot checks
    std::vector<std::pair<std::string, std::string>> written{};
    std::vector<std::string> removed{};
};

// Failures name the case rather than dump its bytes.
template <typename Case>
    requires std::same_as<decltype(Case::name), const char*>
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class GroupingTest : public testing::TestWithParam<GroupingCase> {};

TEST_P(GroupingTest, FormsTheGroupsWindowsWould) {
    const GroupingCase& c = GetParam();
    const FixtureTree tree;
    write_machine(tree, c.machine);
    for (const auto& [path, content] : c.written) {
        tree.write(path, content);
    }
    for (const std::string& path : c.removed) {
        ASSERT_TRUE(std::filesystem::remove(tree.root() + "/" + path)) << path;
    }
    const ProcessorGroups groups = form_processor_groups(tree.root().c_str());
    ASSERT_EQ(groups.error, 0U);
    EXPECT_EQ(groups.group_sizes, c.group_sizes);
    DWORD total = 0;
    for (const DWORD size : c.group_sizes) {
        total += size;
    }
    EXPECT_EQ(groups.online_count, total);
    for (const auto& [cpu, group] : c.group_of_cpu) {
        ASSERT_LT(cpu, groups.group_of_cpu.size());
        EXPECT_EQ(groups.group_of_cpu[cpu], group) << "CPU " << cpu;
    }
}

// Interleaved packages: even CPUs in package 0, odd ones in package 1.
CoreOf alternate_packages(unsigned cpu) {
    return {.siblings = std::to_string(cpu), .package = static_cast<int>(cpu % 2), .core = static_cast<int>(cpu)};
}

// One package of two dies, CPUs alternating between them (even CPUs in die 0),
// core ids counting across both; the dies listed or, as on older kernels, not.
CoreOf alternate_dies(unsigned cpu) {
    return {.siblings = std::to_string(cpu), .die = static_cast<int>(cpu % 2), .core = static_cast<int>(cpu / 2)};
}

CoreOf alternate_dies_listed(unsigned cpu) {
    CoreOf core = alternate_dies(cpu);
    core.package_cpus = "0-71";
    core.die_cpus = every_nth_cpu(cpu % 2, 72, 2);
    return core;
}

CoreOf alternate_packages_listed(unsigned cpu) {
    CoreOf core = alternate_packages(cpu);
    core.package_cpus = every_nth_cpu(cpu % 2, 128, 2);
    return core;
}

// Two threads per core, numbered as Intel machines do: CPU c and c + 36 are siblings.
CoreOf split_siblings(unsigned cpu) {
    const unsigned first = cpu % 36;
    return {.siblings = std::to_string(first) + "," + std::to_string(first + 36), .core = static_cast<int>(first)};
}

// Two packages of two-thread cores in one node (CPUs 0-63 and 64-98), core
// ids counted within each package as x86 counts them; CPU 64 is going
// offline, so the kernel lists package 1 without it.
CoreOf packages_of_64_and_35(unsigned cpu) {
    const unsigned package = cpu < 64 ? 0 : 1;
    const unsigned first = cpu - cpu % 2;
    return {.siblings = first == 98 ? "98" : std::to_string(first) + "-" + std::to_string(first + 1),
            .package = static_cast<int>(package),
            .core = static_cast<int>((cpu - 64 * package) / 2),
            .package_cpus = package == 0 ? "0-63" : "66-98"};
}

// Kernels before core_cpus_list name the siblings thread_siblings_list: CPU c
// and c + 36 are siblings.
std::vector<std::pair<std::string, std::string>> thread_siblings_of_36_cores() {
    std::vector<std::pair<std::string, std::string>> files;
    for (unsigned cpu = 0; cpu < 36; ++cpu) {
        files.emplace_back("cpu/cpu" + std::to_string(cpu) + "/topology/thread_siblings_list",
                           std::to_string(cpu) + "," + std::to_string(cpu + 36) + "\n");
    }
    return files;
}

// POWER thread 7 going offline: its siblings no longer list it.
std::vector<std::pair<std::string, std::string>> leaving_thread_7() {
    std::vector<std::pair<std::string, std::string>> files{{"cpu/cpu7/topology/core_cpus_list", "\n"}};
    for (unsigned cpu = 0; cpu < 7; ++cpu) {
        files.emplace_back("cpu/cpu" + std::to_string(cpu) + "/topology/core_cpus_list", "0-6\n");
    }
    return files;
}

// arm64 booted from a device tree: core ids start again in each cluster of 20.
CoreOf core_in_cluster(unsigned cpu) { return {.siblings = std::to_string(cpu), .core = static_cast<int>(cpu % 20)}; }

std::vector<std::pair<std::string, std::string>> clusters_of_20() {
    std::vector<std::pair<std::string, std::string>> files;
    for (unsigned cpu = 0; cpu < 80; ++cpu) {
        const std::string folder = "cpu/cpu" + std::to_string(cpu) + "/topology/";
        const unsigned first = cpu - cpu % 20;
        files.emplace_back(folder + "cluster_id", std::to_string(cpu / 20) + "\n");
        files.emplace_back(folder + "cluster_cpus_list", std::to_string(first) + "-" + std::to_string(first + 19) + "\n");
    }
    return files;
}

// The distance rows of the first `nodes` nodes alone.
std::map<int, std::string> rows_of_first(int nodes, std::map<int, std::string> rows) {
    rows.erase(rows.find(nodes), rows.end());
    return rows;
}

MachineShape with_distances(MachineShape shape, std::map<int, std::string> distances) {
    shape.distances = std::move(distances);
    return shape;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, GroupingTest,
    testing::Values(
        GroupingCase{"one_node", {"0-1", {{0, "0-1"}}, {}}, {2}, {{1, 0}}},
        GroupingCase{"no_numa", {"0-7", {}, {}}, {8}, {}},
        GroupingCase{"two_nodes_of_36", {"0-71", {{0, "0-35"}, {1, "36-71"}}, {}}, {36, 36}, {{36, 1}}},
        GroupingCase{"distances_unread_on_a_small_machine", with_distances(nodes_of_sizes({30, 30}), {{0, "?"}}), {60}, {}},
        // A column for a node without CPUs; no row for the CPUs no node lists.
        GroupingCase{"distances_count_nodes_without_cpus",
                     with_distances({"0-79", {{0, "0-19"}, {1, "20-39"}, {2, "40-59"}, {3, "60-79"}, {4, ""}}, {}},
                                    socket_distances(5, 2, 11, 21)),
                     {40, 40}, {{20, 0}, {40, 1}}},
        GroupingCase{"unlisted_cpus_are_farthest",
                     with_distances({"0-79", {{0, "0-19"}, {1, "20-39"}, {2, "40-59"}}, {}},
                                    {{0, "10 11 21"}, {1, "11 10 21"}, {2, "21 21 10"}}),
                     {40, 40}, {{20, 0}, {40, 1}, {60, 1}}},
        // A POWER partition whose node 0 has neither CPUs nor memory: node 0 is
        // offline, and every distance row starts with a blank.
        GroupingCase{"node_0_offline",
                     with_distances({"0-79", {{1, "0-19"}, {2, "20-39"}, {3, "40-59"}, {4, "60-79"}}, {}},
                                    {{1, " 10 11 21 21"}, {2, " 11 10 21 21"}, {3, " 21 21 10 11"}, {4, " 21 21 11 10"}}),
                     {40, 40}, {{20, 0}, {40, 1}}},
        GroupingCase{"cut_by_package_first", {"0-127", {{0, "0-127"}}, alternate_packages}, {64, 64}, {{0, 0}, {1, 1}}},
        GroupingCase{"cut_by_listed_packages", {"0-127", {{0, "0-127"}}, alternate_packages_listed}, {64, 64},
                     {{0, 0}, {1, 1}, {126, 0}}},
        GroupingCase{"cut_by_die", {"0-71", {{0, "0-71"}}, alternate_dies}, {64, 8}, {{70, 0}, {55, 0}, {57, 1}}},
        GroupingCase{"cut_by_listed_dies", {"0-71", {{0, "0-71"}}, alternate_dies_listed}, {64, 8},
                     {{70, 0}, {55, 0}, {57, 1}}},
        GroupingCase{"cut_by_core_id_with_split_siblings", {"0-71", {{0, "0-71"}}, split_siblings}, {64, 8},
                     {{31, 0}, {67, 0}, {32, 1}, {71, 1}}},
        GroupingCase{"clusters_read_where_core_ids_repeat", {"0-79", {{0, "0-79"}}, core_in_cluster}, {64, 16},
                     {{19, 0}, {63, 0}, {64, 1}}, clusters_of_20()},
        // x86 writes a cluster for every core: unread where core ids tell the cores apart.
        GroupingCase{"clusters_unread_where_core_ids_differ", {"0-71", {{0, "0-71"}}, cores_of_threads(2)}, {64, 8}, {},
                     {{"cpu/cpu0/topology/cluster_id", "x\n"}}},
        GroupingCase{"no_topology_files", {"0-99", {{0, "0-99"}}, {}}, {64, 36}, {{63, 0}, {64, 1}}},
        GroupingCase{"cpu_folders_without_topology_are_cores_of_their_own", {"0-99", {{0, "0-99"}}, {}}, {64, 36}, {},
                     {{"cpu/cpu0/online", "1\n"}, {"cpu/cpu64/online", "1\n"}}},
        GroupingCase{"thread_siblings_on_older_kernels", {"0-71", {{0, "0-71"}}, {}}, {64, 8}, {{32, 1}, {68, 1}},
                     thread_siblings_of_36_cores()},
        // CPU 64's package and die files already removed: it goes after the others.
        GroupingCase{"cpu_half_way_offline", {"0-98", {{0, "0-98"}}, packages_of_64_and_35}, {64, 35},
                     {{0, 0}, {63, 0}, {64, 1}, {65, 1}, {66, 1}, {98, 1}}, {},
                     {"cpu/cpu64/topology/physical_package_id", "cpu/cpu64/topology/die_id",
                      "cpu/cpu64/topology/package_cpus_list"}},
        // CPUs caught going offline, their own lists already emptied: each
        // goes after the others (CPU 10 of 100 one-thread cores; CPU 1 of a
        // node cut by listed dies; POWER thread 7 of an SMT8 core, its id
        // files gone too and its siblings listing the other seven).
        GroupingCase{"cpu_leaving_with_siblings_emptied", {"0-99", {{0, "0-99"}}, cores_of_threads(1)}, {64, 36},
                     {{10, 1}, {64, 0}, {65, 1}}, {{"cpu/cpu10/topology/core_cpus_list", "\n"}}},
        GroupingCase{"cpu_leaving_with_die_emptied", {"0-71", {{0, "0-71"}}, alternate_dies_listed}, {64, 8},
                     {{1, 1}, {57, 0}, {59, 1}}, {{"cpu/cpu1/topology/die_cpus_list", "\n"}}},
        GroupingCase{"power_thread_leaving", {"0-159", {{0, "0-159"}}, cores_of_threads(8)}, {63, 64, 33},
                     {{7, 2}, {63, 0}, {64, 1}}, leaving_thread_7(),
                     {"cpu/cpu7/topology/physical_package_id", "cpu/cpu7/topology/core_id"}},
        // Distance columns are the nodes online: node 4 is online before its
        // folder is made, and offline before its folder goes.
        GroupingCase{"node_coming_online", with_distances(nodes_of_sizes({20, 20, 20, 20}), rows_of_first(4, socket_distances(5, 2, 11, 21))),
                     {40, 40}, {{20, 0}, {40, 1}}, {{"node/online", "0-4\n"}}},
        GroupingCase{"node_going_offline",
                     with_distances({"0-79", {{0, "0-19"}, {1, "20-39"}, {2, "40-59"}, {3, "60-79"}, {4, ""}}, {}},
                                    socket_distances(4, 2, 11, 21)),
                     {40, 40}, {{20, 0}, {40, 1}}, {{"node/online", "0-3\n"}}},
        GroupingCase{"node_with_cpus_not_online_ignores_the_table",
                     with_distances(nodes_of_sizes({20, 20, 20, 20}), socket_distances(3, 2, 11, 21)), {40, 40},
                     {{20, 1}, {40, 0}}, {{"node/online", "0-2\n"}}},
        GroupingCase{"offline_cpus_left_out", {"0-3,5-7", {{0, "0-7"}}, {}}, {7}, {}},
        GroupingCase{"node_without_online_cpus_skipped", {"0-63", {{0, ""}, {1, "100-101"}, {2, "0-63"}}, {}}, {64}, {}},
        GroupingCase{"unlisted_cpus_form_a_last_node", {"0-99", {{0, "0-59"}}, {}}, {60, 40}, {{60, 1}}},
        GroupingCase{"cpu_in_two_nodes_counts_once", {"0-7", {{0, "0-7"}, {1, "0-7"}}, {}}, {8}, {}},
        GroupingCase{"nodes_in_numeric_order", {"1-79", {{2, "40-79"}, {10, "1-39"}}, {}}, {40, 39}, {{40, 0}, {1, 1}}},
        GroupingCase{"sparse_cpu_numbers", {"0-15,88-103", {{0, "0-87"}, {8, "88-175"}}, {}}, {32}, {{100, 0}}}),
    [](const testing::TestParamInfo<GroupingCase>& p) { return p.param.name; });

// Four nodes of 20 in two sockets, node 1's distance line replaced (or
// removed), and node 0's too where given: damage in any row fails the
// topology, a table no firmware may hold is ignored and leaves the nodes
// alternating, a sound one keeps each socket together.
struct DistanceCase {
    const char* name;
    const char* node1_line;
    DWORD error;
    WORD group_of_node2 = 0;
    const char* node0_line = nullptr;
};

class DistanceTableTest : public testing::TestWithParam<DistanceCase> {};

TEST_P(DistanceTableTest, IsUsedIgnoredOrRefused) {
    const FixtureTree tree;
    write_machine(tree, with_distances(nodes_of_sizes({20, 20, 20, 20}), socket_distances(4, 2, 11, 21)));
    if (GetParam().node1_line == nullptr) {
        std::filesystem::remove(tree.root() + "/node/node1/distance");
    } else {
        tree.write("node/node1/distance", GetParam().node1_line);
    }
    if (GetParam().node0_line != nullptr) {
        tree.write("node/node0/distance", GetParam().node0_line);
    }
    const ProcessorGroups groups = form_processor_groups(tree.root().c_str());
    ASSERT_EQ(groups.error, GetParam().error);
    if (groups.error == 0) {
        EXPECT_EQ(groups.group_sizes, (std::vector<DWORD>{40, 40}));
        EXPECT_EQ(groups.group_of_cpu[40], GetParam().group_of_node2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Distances, DistanceTableTest,
    testing::Values(DistanceCase{"sound", "11 10 21 21\n", 0, 1}, DistanceCase{"without_line_end", "11 10 21 21", 0, 1},
                    DistanceCase{"missing", nullptr, 0, 0},
                    // Rows written while a node came or went: ignored, as the moment they fit is gone.
                    DistanceCase{"too_short", "11 10 21\n", 0, 0}, DistanceCase{"too_long", "11 10 21 21 21\n", 0, 0},
                    DistanceCase{"blank_before_node_0", " 11 10 21 21\n", 0, 0},
                    DistanceCase{"not_a_number", "11 10 x 21\n", ERROR_INVALID_DATA},
                    DistanceCase{"leading_zero", "011 10 21 21\n", ERROR_INVALID_DATA},
                    DistanceCase{"two_blanks", "11  10 21 21\n", ERROR_INVALID_DATA},
                    DistanceCase{"trailing_blank", "11 10 21 21 \n", ERROR_INVALID_DATA},
                    DistanceCase{"empty", "", ERROR_INVALID_DATA},
                    DistanceCase{"beyond_32_bits", "11 10 21 4294967296\n", ERROR_INVALID_DATA},
                    DistanceCase{"damage_after_a_row_to_ignore", "garbage\n", ERROR_INVALID_DATA, 0, "11 11 21 21\n"},
                    DistanceCase{"damage_after_a_row_of_a_moment_ago", "11 10 21 2x\n", ERROR_INVALID_DATA, 0, "10 11 21\n"}),
    [](const testing::TestParamInfo<DistanceCase>& p) { return p.param.name; });

TEST(DistanceTableTest, OnlineNodesAreListedAsTheKernelLists) {
    for (const char* online : {"0-3x\n", "0-1024\n", "3-0\n"}) {
        const FixtureTree tree;
        write_machine(tree, with_distances(nodes_of_sizes({20, 20, 20, 20}), socket_distances(4, 2, 11, 21)));
        tree.write("node/online", online);
        EXPECT_EQ(form_processor_groups(tree.root().c_str()).error, ERROR_INVALID_DATA) << online;
    }
}

// A one-node, 72-CPU machine, damaged: one path removed, then files written over it.
struct BrokenCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> files;
    DWORD error;
    const char* removed = nullptr;
};

class BrokenTopologyTest : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenTopologyTest, FailsWithTheWin32Code) {
    const FixtureTree tree;
    write_machine(tree, {"0-71", {{0, "0-71"}}, cores_of_threads(2)});
    if (GetParam().removed != nullptr) {
        std::filesystem::remove_all(tree.root() + "/" + GetParam().removed);
    }
    for (const auto& [path, content] : GetParam().files) {
        tree.write(path, content);
    }
    const ProcessorGroups groups = form_processor_groups(tree.root().c_str());
    EXPECT_EQ(groups.error, GetParam().error);
    EXPECT_TRUE(groups.group_sizes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, BrokenTopologyTest,
    testing::Values(BrokenCase{"empty_online", {{"cpu/online", ""}}, ERROR_INVALID_DATA},
                    BrokenCase{"garbage_online", {{"cpu/online", "zero to seven\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"reversed_range", {{"cpu/online", "7-0\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"absurd_range", {{"cpu/online", "0-4294967295\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"garbage_node_list", {{"node/node0/cpulist", "0-71 \n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"node_without_cpulist", {{"node/node3/online", "1\n"}}, ERROR_FILE_NOT_FOUND},
                    BrokenCase{"garbage_siblings", {{"cpu/cpu0/topology/core_cpus_list", "0;1\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"garbage_core_id", {{"cpu/cpu2/topology/core_id", "one\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"garbage_package_id", {{"cpu/cpu0/topology/physical_package_id", "x\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"cpu_folder_with_leading_zero", {{"cpu/cpu01/online", "1\n"}}, ERROR_INVALID_DATA,
                               "cpu/cpu0/topology"},
                    BrokenCase{"no_numa_garbage_siblings", {{"cpu/cpu0/topology/core_cpus_list", "0;1\n"}}, ERROR_INVALID_DATA, "node"},
                    BrokenCase{"cpulist_is_a_folder", {{"node/node1/cpulist/x", ""}}, ERROR_INVALID_DATA},
                    BrokenCase{"online_is_a_folder", {{"cpu/online/x", ""}}, ERROR_INVALID_DATA, "cpu/online"},
                    BrokenCase{"siblings_without_itself", {{"cpu/cpu0/topology/core_cpus_list", "1\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"siblings_more_than_a_core", {{"cpu/cpu0/topology/core_cpus_list", "0-999999\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"package_without_itself", {{"cpu/cpu0/topology/package_cpus_list", "2-71\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"garbage_die_list", {{"cpu/cpu0/topology/die_cpus_list", "0-71-\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"node_number_with_leading_zero", {{"node/node01/cpulist", "\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"node_number_beyond_linux", {{"node/node1024/cpulist", "\n"}}, ERROR_INVALID_DATA},
                    BrokenCase{"missing_online", {}, ERROR_FILE_NOT_FOUND, "cpu/online"},
                    BrokenCase{"node_folder_is_a_file", {{"node", "0\n"}}, ERROR_PATH_NOT_FOUND, "node"}),
    [](const testing::TestParamInfo<BrokenCase>& p) { return p.param.name; });

// Where the kernel has a file or a folder, anything else is damage, whatever
// it would serve: a FIFO holding a list, a socket, a link that loops. `make`
// puts it at `path` and returns a descriptor to hold open while the tool reads.
int fifo_holding_a_list(const std::string& path) {
    const int writer = ::mkfifo(path.c_str(), 0600) == 0 ? ::open(path.c_str(), O_RDWR | O_NONBLOCK) : -1;
    return writer >= 0 && ::write(writer, "0-71\n", 5) == 5 ? writer : -1;
}

int socket_at(const std::string& path) {
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ? socket : -1;
}

int link_to_itself(const std::string& path) {
    return ::symlink(std::filesystem::path(path).filename().c_str(), path.c_str()) == 0 ? ::dup(0) : -1;
}

TEST(BrokenTopologyTest, NotAFileOrFolderIsDamage) {
    const struct {
        const char* path;
        int (*make)(const std::string& path);
    } cases[] = {{"cpu/online", fifo_holding_a_list},
                 {"node/node0/cpulist", socket_at},
                 {"node/node0/cpulist", link_to_itself},
                 {"node", link_to_itself}};
    for (const auto& c : cases) {
        const FixtureTree tree;
        write_machine(tree, {"0-71", {{0, "0-71"}}, cores_of_threads(2)});
        const std::string path = tree.root() + "/" + c.path;
        std::filesystem::remove_all(path);
        const int held = c.make(path);
        ASSERT_GE(held, 0) << c.path;
        EXPECT_EQ(form_processor_groups(tree.root().c_str()).error, ERROR_INVALID_DATA) << c.path;
        ::close(held);
    }
}

TEST(BrokenTopologyTest, MissingRootIsFileNotFound) {
    EXPECT_EQ(form_processor_groups("/nonexistent/sys/devices/system").error, ERROR_FILE_NOT_FOUND);
}

TEST(BrokenTopologyTest, AFileLargerThanSysfsServesIsDamage) {
    const FixtureTree tree;
    tree.write("cpu/online", std::string(std::size_t{17} << 20, '0'));
    EXPECT_EQ(form_processor_groups(tree.root().c_str()).error, ERROR_INVALID_DATA);
}

TEST(BrokenTopologyTest, UnreadableNodeListIsAccessDenied) {
    const FixtureTree tree;
    write_machine(tree, {"0-1", {{0, "0-1"}}, {}});
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod((tree.root() + "/node/node0/cpulist").c_str(), 0), 0);
    // Root reads anything, so the reading is done by an unprivileged child.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && ::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(255);
        }
        ::_exit(static_cast<int>(form_processor_groups(tree.root().c_str()).error));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(static_cast<DWORD>(WEXITSTATUS(status)), ERROR_ACCESS_DENIED);
}

}  // namespace
}  // namespace procgroups
