#pragma once

#include <cstdint>
#include <vector>

#include "group_rules/group_assignment.hpp"
#include "linux_topology/topology_error.hpp"

namespace procgroups {

// What the grouping rules need of the machine that a sysfs tree describes:
// its online CPUs node by node, cut into pieces, and how far apart its nodes are.
struct MachinePieces {
    std::uint32_t online_count = 0;
    std::uint32_t cpu_capacity = 0;  // above the highest online CPU number
    std::vector<Piece> pieces;
    std::vector<std::uint32_t> piece_cpus;  // the CPUs of every piece, piece after piece
    std::size_t boot_piece = kNoBootPiece;  // the piece of CPU 0
    NodeDistances distances;
};

// Reads the tree below sysfs_root (/sys/devices/system on a running machine):
// online CPUs node by node, nodes over 64 CPUs cut at core boundaries. A
// machine of 64 CPUs or fewer is one piece, whatever its nodes.
[[nodiscard]] TopologyError read_machine_pieces(const char* sysfs_root, MachinePieces& machine);

}  // namespace procgroups
