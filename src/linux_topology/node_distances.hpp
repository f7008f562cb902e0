#pragma once

#include <cstdint>
#include <vector>

#include "group_rules/group_assignment.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {

// The node that the CPUs no node lists make: it has no folder and no distances.
inline constexpr NodeNumber kNoNodeNumber{0xffffffff};

// Reads the NUMA distance rows (node/nodeK/distance) of the nodes that have
// online CPUs, into distances by node index; `number_of_node` holds each node
// index's node number, or kNoNodeNumber. `node_folders` are the numbers of the
// node folders, ascending. Damage in any row is kDamaged. A row that is
// missing or unreadable, a table that no firmware may hold (a distance below
// 10, or not 10 from a node to itself), or rows that do not fit the nodes
// online leave the nodes equally far apart, as they are on Windows.
[[nodiscard]] TopologyError read_node_distances(const SysfsTree& tree, const std::vector<NodeNumber>& node_folders,
                                                const std::vector<NodeNumber>& number_of_node,
                                                NodeDistances& distances);

}  // namespace procgroups
