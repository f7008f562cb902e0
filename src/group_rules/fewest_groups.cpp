#include "group_rules/fewest_groups.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <utility>

namespace procgroups {

namespace {

using SizeCounts = std::array<std::uint64_t, kMaxGroupSize + 1>;

SizeCounts count_sizes(const std::vector<Piece>& pieces) {
    SizeCounts of_size{};
    for (const Piece& piece : pieces) {
        ++of_size[piece.size];
    }
    return of_size;
}

// Martello and Toth's bound L2 for bin packing, which is at least the CPUs
// over 64.
std::uint64_t fewest_groups_by_halves(const SizeCounts& of_size) {
    std::vector<std::uint32_t> sizes;  // the sizes there are, of at most 64
    for (std::uint32_t size = 1; size <= kMaxGroupSize; ++size) {
        if (of_size[size] != 0) {
            sizes.push_back(size);
        }
    }
    std::uint64_t fewest = 0;
    for (std::uint32_t k = 0; k <= kMaxGroupSize / 2; ++k) {
        std::uint64_t alone = 0;   // larger than 64 - k: no piece of k or more fits beside them
        std::uint64_t halves = 0;  // over half a group: never two in one group
        std::uint64_t halves_size = 0;
        std::uint64_t small_size = 0;
        for (const std::uint32_t size : sizes) {
            if (size > kMaxGroupSize - k) {
                alone += of_size[size];
            } else if (size > kMaxGroupSize / 2) {
                halves += of_size[size];
                halves_size += of_size[size] * size;
            } else if (size >= k) {
                small_size += of_size[size] * size;
            }
        }
        const std::uint64_t room_beside_halves = halves * kMaxGroupSize - halves_size;
        const std::uint64_t more_groups =
            small_size > room_beside_halves ? (small_size - room_beside_halves + kMaxGroupSize - 1) / kMaxGroupSize : 0;
        fewest = std::max(fewest, alone + halves + more_groups);
    }
    return fewest;
}

// Fekete and Schepers' bounds for bin packing: a piece counts as the k-th
// parts of a group that k + 1 copies of it fill whole, rounded down, unless
// they fill it exactly. Where no piece fits beside two others, as with pieces
// of 22 and 43, L2 counts the room two pieces of 22 leave; these do not.
std::uint64_t fewest_groups_by_rounding(const SizeCounts& of_size) {
    std::uint64_t fewest = 0;
    for (std::uint64_t k = 1; k < kMaxGroupSize; ++k) {
        std::uint64_t parts = 0;  // in k-th parts of a 64th of a group
        for (std::uint64_t size = 1; size <= kMaxGroupSize; ++size) {
            const std::uint64_t filled = (k + 1) * size;
            parts += of_size[size] * (filled % kMaxGroupSize == 0 ? size * k : filled / kMaxGroupSize * kMaxGroupSize);
        }
        fewest = std::max(fewest, (parts + kMaxGroupSize * k - 1) / (kMaxGroupSize * k));
    }
    return fewest;
}

// No arrangement of the pieces into groups of 64 gets by with fewer groups
// than this. Starting the search for the fewest groups here skips only counts
// at which spreading is bound to fail, so that a machine of thousands of
// pieces is not spread over and over.
std::size_t fewest_groups_possible(const std::vector<Piece>& pieces) {
    const SizeCounts of_size = count_sizes(pieces);
    return static_cast<std::size_t>(std::max(fewest_groups_by_halves(of_size), fewest_groups_by_rounding(of_size)));
}

// Spreads the pieces over `groups` groups; empty when a piece fits in no group.
std::vector<GroupIndex> spread(const std::vector<Piece>& pieces, const std::vector<std::size_t>& order,
                               std::size_t groups) {
    std::vector<GroupIndex> group_of(pieces.size());
    std::vector<std::uint32_t> used(groups, 0);
    std::vector<std::uint32_t> members(groups, 0);
    // The groups by CPUs used, each set ordered by piece count, then group number.
    std::array<std::set<std::pair<std::uint32_t, GroupIndex>>, kMaxGroupSize + 1> by_used;
    for (GroupIndex group = 0; group < groups; ++group) {
        by_used[0].emplace(0, group);
    }
    const auto join = [&](std::size_t piece, GroupIndex group) {
        by_used[used[group]].erase({members[group], group});
        used[group] += pieces[piece].size;
        ++members[group];
        by_used[used[group]].emplace(members[group], group);
        group_of[piece] = group;
    };
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const std::size_t piece = order[rank];
        if (rank < groups) {
            join(piece, static_cast<GroupIndex>(rank));
            continue;
        }
        const std::pair<std::uint32_t, GroupIndex>* best = nullptr;
        for (std::uint32_t fill = 0; fill + pieces[piece].size <= kMaxGroupSize; ++fill) {
            if (!by_used[fill].empty() && (best == nullptr || *by_used[fill].begin() < *best)) {
                best = &*by_used[fill].begin();
            }
        }
        if (best == nullptr) {
            return {};
        }
        join(piece, best->second);
    }
    return group_of;
}

}  // namespace

Spread spread_over_fewest_groups(const std::vector<Piece>& pieces, const std::vector<std::size_t>& order) {
    for (std::size_t groups = fewest_groups_possible(pieces);; ++groups) {
        if (std::vector<GroupIndex> group_of = spread(pieces, order, groups); !group_of.empty()) {
            return {std::move(group_of), groups};
        }
    }
}

}  // namespace procgroups
