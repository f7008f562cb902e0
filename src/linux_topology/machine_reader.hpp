#pragma once

#include "group_rules/machine_groups.hpp"
#include "linux_topology/topology_error.hpp"

namespace procgroups {

// Reads the tree below sysfs_root (/sys/devices/system on a running machine):
// the online CPUs node by node, the cores of nodes over 64 CPUs and, on a
// machine of more than 64, the nodes' distances. What a machine of 64 CPUs or
// fewer would not use is not read, as the tool runs on many such machines.
[[nodiscard]] TopologyError read_machine(const char* sysfs_root, Machine& machine);

}  // namespace procgroups
