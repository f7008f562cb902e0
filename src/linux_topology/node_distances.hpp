#pragma once

#include <cstdint>
#include <vector>

#include "group_rules/machine_groups.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {

// The node that the CPUs no node lists make: it has no folder and no distances.
inline constexpr NodeNumber kNoNodeNumber{0xffffffff};

// Reads the NUMA distance rows (node/nodeK/distance) of the nodes that have
// online CPUs, by node index; `number_of_node` holds each node index's node
// number, kNoNodeNumber last for the CPUs no node lists. `node_folders` are
// the numbers of the node folders, ascending. Damage in any row is kDamaged. A
// row that is missing or unreadable, or rows that do not fit the nodes online,
// leave `rows` empty.
[[nodiscard]] TopologyError read_node_distances(const SysfsTree& tree, const std::vector<NodeNumber>& node_folders,
                                                const std::vector<NodeNumber>& number_of_node, DistanceRows& rows);

}  // namespace procgroups
