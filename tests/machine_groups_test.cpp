// Windows' rules on machines as the reading describes them: nodes, the cores
// of nodes over 64 CPUs, the kernel's distance rows; groups out.
#include <concepts>
#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "group_rules/machine_groups.hpp"

namespace procgroups {
namespace {

using CpuRange = std::pair<std::uint32_t, std::uint32_t>;

struct RulesCase {
    const char* name;
    std::vector<CpuRange> nodes;                   // by node index
    std::vector<std::vector<std::uint32_t>> rows;  // the listed nodes' distance rows, columns in node order
    std::vector<std::uint32_t> group_sizes;
    std::vector<std::pair<std::uint32_t, GroupNumber>> group_of_cpu;  // spot checks
    Core (*core_at)(std::uint32_t first_cpu) = nullptr;               // a big node's cores, two threads each by default
};

void PrintTo(const RulesCase& c, std::ostream* out) { *out << c.name; }

std::vector<CpuRange> consecutive(const std::vector<std::uint32_t>& sizes) {
    std::vector<CpuRange> nodes;
    std::uint32_t first = 0;
    for (const std::uint32_t size : sizes) {
        nodes.emplace_back(first, first + size - 1);
        first += size;
    }
    return nodes;
}

// Two threads per core, core ids in CPU order.
Core two_threads(std::uint32_t first_cpu) { return {.core_id = first_cpu / 2, .size = 2}; }

Machine machine_of(const RulesCase& c) {
    Machine machine;
    for (const auto& [first, last] : c.nodes) {
        Node& node = machine.nodes.emplace_back();
        for (std::uint32_t cpu = first; cpu <= last; ++cpu) {
            node.cpus.push_back(cpu);
        }
        for (std::uint32_t cpu = first; node.cpus.size() > kMaxGroupSize && cpu <= last; cpu += node.cores.back().size) {
            Core core = (c.core_at != nullptr ? c.core_at : two_threads)(cpu);
            core.first_cpu = cpu;
            core.first_index = cpu - first;
            node.cores.push_back(core);
        }
    }
    for (std::size_t node = 0; node < c.rows.size(); ++node) {
        machine.distances.width = c.rows[node].size();
        machine.distances.column_of_node.push_back(node);
        machine.distances.rows.insert(machine.distances.rows.end(), c.rows[node].begin(), c.rows[node].end());
    }
    return machine;
}

class MachineRulesTest : public testing::TestWithParam<RulesCase> {};

TEST_P(MachineRulesTest, FormsTheGroupsWindowsWould) {
    Machine machine = machine_of(GetParam());
    const MachineGroups groups = form_groups(machine);
    EXPECT_EQ(groups.sizes, GetParam().group_sizes);
    for (const auto& [cpu, group] : GetParam().group_of_cpu) {
        ASSERT_LT(cpu, groups.group_of_cpu.size());
        EXPECT_EQ(groups.group_of_cpu[cpu], group) << "CPU " << cpu;
    }
}

// Socket distances: nodes_per_socket nodes a socket, `near` within one, `far` between.
std::vector<std::vector<std::uint32_t>> sockets(std::uint32_t nodes, std::uint32_t nodes_per_socket, std::uint32_t near,
                                                std::uint32_t far) {
    std::vector<std::vector<std::uint32_t>> rows(nodes);
    for (std::uint32_t from = 0; from < nodes; ++from) {
        for (std::uint32_t to = 0; to < nodes; ++to) {
            rows[from].push_back(from == to ? 10 : from / nodes_per_socket == to / nodes_per_socket ? near : far);
        }
    }
    return rows;
}

// The first `count` rows, each as wide as before.
std::vector<std::vector<std::uint32_t>> first_rows(std::vector<std::vector<std::uint32_t>> rows, std::size_t count) {
    rows.resize(count);
    return rows;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MachineRulesTest,
    testing::Values(
        RulesCase{"two_small_nodes_share_one_group", consecutive({30, 30}), {}, {60}, {{59, 0}}},
        RulesCase{"four_nodes_of_36_need_four_groups", consecutive({36, 36, 36, 36}), {}, {36, 36, 36, 36}, {{108, 3}}},
        // A node over 64 is cut into whole cores; the pieces of two nodes share a group.
        RulesCase{"node_of_72_two_thread_cores", consecutive({72}), {}, {64, 8}, {{63, 0}, {64, 1}}},
        RulesCase{"node_of_128", consecutive({128}), {}, {64, 64}, {}},
        RulesCase{"two_nodes_of_72", consecutive({72, 72}), {}, {64, 16, 64}, {{64, 1}, {136, 1}, {72, 2}}},
        RulesCase{"two_nodes_of_80", consecutive({80, 80}), {}, {64, 32, 64}, {{64, 1}, {144, 1}, {80, 2}}},
        RulesCase{"two_nodes_of_192", consecutive({192, 192}), {}, {64, 64, 64, 64, 64, 64}, {{191, 2}, {192, 3}}},
        RulesCase{"cores_never_split", consecutive({72}), {}, {63, 9}, {{62, 0}, {63, 1}},
                  [](std::uint32_t cpu) { return Core{.core_id = cpu / 3, .size = 3}; }},
        // The cut keeps a package, a die, a cluster together: cores numbered across them.
        RulesCase{"cut_by_package_first", consecutive({128}), {}, {64, 64}, {{0, 0}, {2, 1}, {4, 0}},
                  [](std::uint32_t cpu) { return Core{.package = cpu / 2 % 2, .core_id = cpu / 2, .size = 2}; }},
        RulesCase{"cut_by_die", consecutive({72}), {}, {64, 8}, {{68, 0}, {54, 0}, {58, 1}},
                  [](std::uint32_t cpu) { return Core{.die = cpu / 2 % 2, .core_id = cpu / 2, .size = 2}; }},
        // arm64 from a device tree: core ids start again in each cluster of 20.
        RulesCase{"cut_by_cluster", consecutive({80}), {}, {64, 16}, {{19, 0}, {63, 0}, {64, 1}},
                  [](std::uint32_t cpu) { return Core{.cluster = cpu / 20, .core_id = cpu % 20, .size = 1}; }},
        // A core caught leaving goes last, moving none of the others.
        RulesCase{"leaving_core_last", consecutive({100}), {}, {64, 36}, {{10, 1}, {64, 0}, {65, 1}},
                  [](std::uint32_t cpu) { return Core{.leaving = cpu == 10, .core_id = cpu, .size = 1}; }},
        // Small nodes spread evenly over the fewest groups...
        RulesCase{"four_nodes_of_20_alternate", consecutive({20, 20, 20, 20}), {}, {40, 40}, {{0, 0}, {20, 1}, {40, 0}, {60, 1}}},
        RulesCase{"five_nodes_of_16", consecutive({16, 16, 16, 16, 16}), {}, {48, 32}, {{16, 1}, {32, 0}, {64, 0}}},
        RulesCase{"three_nodes_of_30", consecutive({30, 30, 30}), {}, {60, 30}, {{30, 1}, {60, 0}}},
        RulesCase{"eight_nodes_of_12_alternate", consecutive({12, 12, 12, 12, 12, 12, 12, 12}), {}, {48, 48},
                  {{12, 1}, {24, 0}, {95, 1}}},
        // ...and a group more when the pieces do not fit: the second 20 joins the 30.
        RulesCase{"fewest_groups_that_fit", consecutive({50, 30, 20, 20}), {}, {50, 50, 20}, {{50, 1}, {80, 2}, {100, 1}}},
        // ...the fewest for which the spread succeeds: 11 groups would hold these.
        RulesCase{"spread_needs_a_group_more_than_fit",
                  consecutive({23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 23, 21, 21, 21, 21, 21, 21}), {},
                  {46, 46, 46, 46, 46, 46, 44, 44, 44, 44, 44, 44}, {{23, 1}, {276, 0}, {414, 6}}},
        // ...then close nodes trade places into the same group.
        RulesCase{"four_nodes_of_20_by_socket", consecutive({20, 20, 20, 20}), sockets(4, 2, 11, 21), {40, 40},
                  {{20, 0}, {40, 1}, {79, 1}}},
        RulesCase{"eight_nodes_of_12_by_socket", consecutive({12, 12, 12, 12, 12, 12, 12, 12}), sockets(8, 4, 12, 32),
                  {48, 48}, {{36, 0}, {47, 0}, {48, 1}}},
        RulesCase{"closest_pair_together", consecutive({20, 20, 20, 20}),
                  {{10, 21, 21, 11}, {21, 10, 21, 21}, {21, 21, 10, 21}, {11, 21, 21, 10}}, {40, 40},
                  {{20, 1}, {40, 1}, {60, 0}}},
        // A pair counts at the mean of its two directions: {0,1} and {2,3} are
        // 16 + 11 apart, against 11.5 + 20 and 16 + 16 for the others.
        RulesCase{"one_way_distances_count_both_ways", consecutive({20, 20, 20, 20}),
                  {{10, 21, 12, 11}, {11, 10, 20, 20}, {11, 12, 10, 11}, {21, 20, 11, 10}}, {40, 40},
                  {{0, 0}, {20, 0}, {40, 1}, {60, 1}}},
        // Rows have a column for a node online without CPUs too.
        RulesCase{"distances_count_nodes_without_cpus", consecutive({20, 20, 20, 20}), first_rows(sockets(5, 2, 11, 21), 4),
                  {40, 40}, {{20, 0}, {40, 1}}},
        RulesCase{"unlisted_cpus_are_farthest", consecutive({20, 20, 20, 20}), {{10, 11, 21}, {11, 10, 21}, {21, 21, 10}},
                  {40, 40}, {{20, 0}, {40, 1}, {60, 1}}},
        // A table no firmware may hold leaves the nodes equally far apart.
        RulesCase{"distance_below_ten_ignores_the_table", consecutive({20, 20, 20, 20}),
                  {{10, 11, 21, 21}, {9, 10, 21, 21}, {21, 21, 10, 11}, {21, 21, 11, 10}}, {40, 40}, {{20, 1}, {40, 0}}},
        RulesCase{"not_ten_to_itself_ignores_the_table", consecutive({20, 20, 20, 20}),
                  {{10, 11, 21, 21}, {11, 12, 21, 21}, {21, 21, 10, 11}, {21, 21, 11, 10}}, {40, 40}, {{20, 1}, {40, 0}}},
        // Windows gives the boot processor (CPU 0) group 0; the others keep their order.
        RulesCase{"boot_processor_in_group_0", {{20, 79}, {0, 19}}, {}, {20, 60}, {{0, 0}, {20, 1}}},
        RulesCase{"boot_processor_offline_keeps_node_order", {{20, 79}, {1, 19}}, {}, {60, 19}, {{1, 1}, {20, 0}}}),
    [](const testing::TestParamInfo<RulesCase>& p) { return p.param.name; });

}  // namespace
}  // namespace procgroups
