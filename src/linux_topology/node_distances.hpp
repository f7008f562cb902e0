#pragma once

#include <cstdint>
#include <vector>

#include "group_rules/group_assignment.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {

// Stands for the node that the CPUs no node lists make: it has no folder.
inline constexpr std::uint32_t kNoFolder = 0xffffffff;

// Reads the NUMA distance rows (node/nodeK/distance) of the nodes that have
// online CPUs; `folders_of_nodes` gives each node's place among the node
// folders `node_folders`, or kNoFolder. Damage in any row is
// ERROR_INVALID_DATA. A row that is missing or unreadable, or a table that no
// firmware may hold (a distance below 10, or not 10 from a node to itself),
// leaves the nodes equally far apart, as it does on Windows.
[[nodiscard]] DWORD read_node_distances(const SysfsTree& tree, const std::vector<std::uint32_t>& node_folders,
                                        const std::vector<std::uint32_t>& folders_of_nodes, NodeDistances& distances);

}  // namespace procgroups
