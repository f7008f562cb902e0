#pragma once

// A machine as its kernel describes it, and the groups Windows would form on
// it: the whole of Windows' rules, from the cut of big nodes to the numbers of
// the groups. What is described here is what the kernel wrote, unjudged.
#include <cstdint>
#include <vector>

#include "group_assignment.hpp"

namespace procgroups {

// One core of a node, by the ids the kernel gives it, and where its CPUs
// stand in the node's list of CPUs.
struct Core {
    // Caught going offline: its own sibling, package or die list already empty.
    bool leaving = false;
    std::int64_t package = 0;
    std::int64_t die = 0;
    std::int64_t cluster = 0;
    std::int64_t core_id = 0;
    std::uint32_t first_cpu = 0;
    std::uint32_t size = 0;
    std::size_t first_index = 0;
};

struct Node {
    // Its online CPUs: core after core where `cores` is given, else ascending.
    std::vector<std::uint32_t> cpus;
    // Given for nodes of more than 64 CPUs, the only ones that are cut.
    std::vector<Core> cores;
};

// The kernel's NUMA distance rows of the nodes with CPUs, as written: each
// row has a distance to every node online, `width` of them; `column_of_node`
// gives each node's own column, by node index. A node index past its end is
// the CPUs that no node lists, which have no row. Empty where the rows could
// not be read as one table.
struct DistanceRows {
    std::size_t width = 0;
    std::vector<std::size_t> column_of_node;
    std::vector<std::uint32_t> rows;  // column_of_node.size() rows of width
};

// The CPU Linux boots on; an arm64 or POWER machine can take it offline later.
inline constexpr std::uint32_t kBootCpu = 0;

struct Machine {
    // By node index: the nodes with online CPUs in ascending node number, then
    // the online CPUs that no node lists.
    std::vector<Node> nodes;
    DistanceRows distances;
};

inline constexpr GroupNumber kNoGroupNumber = 0xffff;

struct MachineGroups {
    std::vector<std::uint32_t> sizes;        // by group number
    std::vector<GroupNumber> group_of_cpu;   // by CPU number; kNoGroupNumber for CPUs not online
};

// The groups Windows would form at boot: nodes over 64 CPUs cut into pieces
// of whole cores, the pieces put in groups by assign_groups, close nodes
// found by the distances weighed as Windows weighs them.
[[nodiscard]] MachineGroups form_groups(Machine& machine);

}  // namespace procgroups
