#pragma once

#include <cstdint>
#include <vector>

#include "linux_kernel32/win32_subset.hpp"

namespace procgroups {

inline constexpr DWORD kMaxGroupSize = 64;

// A run of a node's CPUs that must share a group: a whole node of up to 64
// CPUs, or a cut of whole cores from a larger one. `node` counts the nodes
// that have online CPUs, in the order they were taken.
struct Piece {
    std::uint32_t node = 0;
    DWORD size = 0;
};

// How far apart the nodes are, by that same count and the same both ways: the
// kernel's NUMA distances scaled by 128, or, where the machine gives none, 1
// between any two nodes.
class NodeDistances {
public:
    NodeDistances() = default;
    // `scaled` holds node_count rows of node_count distances each.
    NodeDistances(std::uint32_t node_count, std::vector<std::uint64_t> scaled)
        : node_count_(node_count), scaled_(std::move(scaled)) {}

    [[nodiscard]] std::uint64_t between(std::uint32_t from, std::uint32_t to) const {
        if (from == to) {
            return 0;
        }
        return scaled_.empty() ? 1 : scaled_[std::size_t{from} * node_count_ + to];
    }

private:
    std::uint32_t node_count_ = 0;
    std::vector<std::uint64_t> scaled_;
};

// The group of each piece, numbered as Windows numbers them: pieces are given
// in node order, each node's in cut order, and the groups are numbered in the
// order their first piece appears. Windows keeps the groups few and even and
// puts close nodes together; a single node fills groups first fit. Pieces of
// 64 CPUs or fewer in all make one group either way.
[[nodiscard]] std::vector<WORD> assign_groups(const std::vector<Piece>& pieces, const NodeDistances& distances);

}  // namespace procgroups
