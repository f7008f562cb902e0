#pragma once

// Windows' rules for putting a machine's processors into groups of at most
// 64, as pure computation: no I/O, and plain integers rather than Win32 types.
//
// Words used here and in the rest of the rules:
//   piece       a run of one node's CPUs that must share a group: a whole node
//               of up to 64 CPUs, or a cut of whole cores from a larger one.
//   node index  a node's place among the nodes that have online CPUs, in the
//               order they were taken (ascending node number; the CPUs no node
//               lists come last). Not to be confused with a node number (the K
//               of node/nodeK), which only the topology reading knows.
//   group       what the rules put pieces in; a group index numbers groups as
//               the rules form them, and the group numbers a caller sees run
//               in the order each group's first piece appears.
//   trade       two pieces of two groups swapping places, where that brings
//               nodes closer together and leaves both groups within 64 CPUs.
#include <cstdint>
#include <utility>
#include <vector>

namespace procgroups {

using NodeIndex = std::uint32_t;
using GroupIndex = std::uint32_t;
using GroupNumber = std::uint16_t;

inline constexpr std::uint32_t kMaxGroupSize = 64;

struct Piece {
    NodeIndex node = 0;
    std::uint32_t size = 0;
};

// How far apart the nodes are, by node index and the same both ways: the
// kernel's NUMA distances scaled by 128, or, where the machine gives none, 1
// between any two nodes.
class NodeDistances {
public:
    NodeDistances() = default;
    // `scaled` holds node_count rows of node_count distances each.
    NodeDistances(std::uint32_t node_count, std::vector<std::uint64_t> scaled)
        : node_count_(node_count), scaled_(std::move(scaled)) {}

    [[nodiscard]] std::uint64_t between(NodeIndex from, NodeIndex to) const {
        if (from == to) {
            return 0;
        }
        return scaled_.empty() ? 1 : scaled_[std::size_t{from} * node_count_ + to];
    }

private:
    std::uint32_t node_count_ = 0;
    std::vector<std::uint64_t> scaled_;
};

// The piece that holds the boot processor (CPU 0), where it is online.
inline constexpr std::size_t kNoBootPiece = ~std::size_t{0};

// The group of each piece, numbered as Windows numbers them: pieces are given
// in node order, each node's in cut order; the boot processor's group is
// group 0, and the others are numbered in the order their first piece
// appears. Windows keeps the groups few and even and puts close nodes
// together; a single node fills groups first fit. Pieces of 64 CPUs or fewer
// in all make one group either way.
[[nodiscard]] std::vector<GroupNumber> assign_groups(const std::vector<Piece>& pieces, const NodeDistances& distances,
                                                     std::size_t boot_piece);

}  // namespace procgroups
