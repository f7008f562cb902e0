#include "fewest_groups.hpp"

#include <array>
#include <cstdint>
#include <set>
#include <utility>

namespace procgroups {

namespace {

// No arrangement of the pieces gets by with fewer groups. On a machine Linux
// can be, counting up from here to the fewest that succeed is a few hundred
// spreads of a thousand pieces at the most.
std::size_t fewest_groups_possible(const std::vector<Piece>& pieces) {
    std::size_t cpus = 0;
    for (const Piece& piece : pieces) {
        cpus += piece.size;
    }
    return (cpus + kMaxGroupSize - 1) / kMaxGroupSize;
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
