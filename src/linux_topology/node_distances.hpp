#pragma once

#include <cstdint>
#include <vector>

#include "group_rules/group_assignment.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {

// The column of the node that the CPUs no node lists make: it has no folder.
inline constexpr NodeColumn kNoColumn = 0xffffffff;

// Reads the NUMA distance rows (node/nodeK/distance) of the nodes that have
// online CPUs, into distances by node index. `node_numbers` holds the node
// folders' numbers by column; `columns_of_nodes` each node index's column, or
// kNoColumn. Damage in any row is kDamaged. A row that is missing or
// unreadable, or a table that no firmware may hold (a distance below 10, or
// not 10 from a node to itself), leaves the nodes equally far apart, as it
// does on Windows.
[[nodiscard]] TopologyError read_node_distances(const SysfsTree& tree, const std::vector<NodeNumber>& node_numbers,
                                                const std::vector<NodeColumn>& columns_of_nodes,
                                                NodeDistances& distances);

}  // namespace procgroups
