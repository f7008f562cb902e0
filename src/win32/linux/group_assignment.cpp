#include "win32/linux/group_assignment.hpp"

#include <algorithm>
#include <array>
#include <numeric>
#include <set>
#include <utility>

namespace procgroups {

namespace {

using GroupIndex = std::uint32_t;

// Windows stops looking for closer arrangements after this many passes.
constexpr int kMaxTradePasses = 10;

// Each piece, in order, into the lowest group with room for it, or a new one.
std::vector<GroupIndex> first_fit(const std::vector<Piece>& pieces) {
    std::vector<DWORD> used;
    std::vector<GroupIndex> group_of;
    group_of.reserve(pieces.size());
    for (const Piece& piece : pieces) {
        const auto fits = std::find_if(used.begin(), used.end(),
                                       [&piece](DWORD size) { return size + piece.size <= kMaxGroupSize; });
        group_of.push_back(static_cast<GroupIndex>(fits - used.begin()));
        if (fits == used.end()) {
            used.push_back(piece.size);
        } else {
            *fits += piece.size;
        }
    }
    return group_of;
}

// Largest first; pieces of equal size keep their node and cut order.
std::vector<std::size_t> largest_first(const std::vector<Piece>& pieces) {
    std::vector<std::size_t> order(pieces.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&pieces](std::size_t a, std::size_t b) { return pieces[a].size > pieces[b].size; });
    return order;
}

// No arrangement of the pieces into groups of 64 gets by with fewer groups than
// this (Martello and Toth's bound L2 for bin packing, which is at least the
// CPUs over 64). Starting the search for the fewest groups here skips only
// counts at which spreading is bound to fail, so that a machine of thousands
// of pieces is not spread over and over.
std::size_t fewest_groups_possible(const std::vector<Piece>& pieces) {
    std::array<std::uint64_t, kMaxGroupSize + 1> of_size{};
    for (const Piece& piece : pieces) {
        ++of_size[piece.size];
    }
    std::vector<DWORD> sizes;  // the sizes there are, of at most 64
    for (DWORD size = 1; size <= kMaxGroupSize; ++size) {
        if (of_size[size] != 0) {
            sizes.push_back(size);
        }
    }
    std::uint64_t fewest = 0;
    for (DWORD k = 0; k <= kMaxGroupSize / 2; ++k) {
        std::uint64_t alone = 0;   // larger than 64 - k: no piece of k or more fits beside them
        std::uint64_t halves = 0;  // over half a group: never two in one group
        std::uint64_t halves_size = 0;
        std::uint64_t small_size = 0;
        for (const DWORD size : sizes) {
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
    return static_cast<std::size_t>(fewest);
}

// Spreads the pieces over `groups` groups: the first pieces by size open one
// group each, and each later piece joins, of the groups with room for it, the
// one with the fewest pieces (the lowest on a tie). Empty when a piece fits in
// no group.
std::vector<GroupIndex> spread(const std::vector<Piece>& pieces, const std::vector<std::size_t>& order,
                               std::size_t groups) {
    std::vector<GroupIndex> group_of(pieces.size());
    std::vector<DWORD> used(groups, 0);
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
        for (DWORD fill = 0; fill + pieces[piece].size <= kMaxGroupSize; ++fill) {
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

// Trades pieces between groups while that brings nodes closer together. A
// piece's cost in a group is the sum of the other pieces' distances to it,
// each divided by their number; a trade must leave every group within 64 CPUs.
// Pieces of one node are 0 apart, so only a trade that takes a piece out of a
// group of several nodes can gain: a piece in a group of one node is weighed
// against the pieces in mixed groups only, which keeps machines of thousands
// of single-node groups cheap.
class Trader {
public:
    Trader(const std::vector<Piece>& pieces, const NodeDistances& distances, const std::vector<std::size_t>& order,
           std::vector<GroupIndex>& group_of, std::size_t groups)
        : pieces_(pieces), distances_(distances), order_(order), group_of_(group_of), members_(groups),
          used_(groups, 0), rank_of_(pieces.size()) {
        for (std::size_t rank = 0; rank < order.size(); ++rank) {
            rank_of_[order[rank]] = rank;
        }
        for (std::size_t piece = 0; piece < pieces.size(); ++piece) {
            members_[group_of[piece]].push_back(piece);
            used_[group_of[piece]] += pieces[piece].size;
        }
        for (GroupIndex group = 0; group < groups; ++group) {
            mark_if_mixed(group);
        }
    }

    void trade_while_closer() {
        for (int pass = 0; pass < kMaxTradePasses; ++pass) {
            bool traded = false;
            for (const std::size_t a : order_) {
                const GroupIndex group_a = group_of_[a];
                const std::uint64_t cost_a = cost(a, group_a, a);
                std::uint64_t best_gain = 0;
                std::size_t best = a;
                const auto weigh = [&](std::size_t b) {
                    if (const std::uint64_t gain = gain_of_trade(a, cost_a, b); gain > best_gain) {
                        best_gain = gain;
                        best = b;
                    }
                };
                if (is_mixed(group_a)) {
                    std::for_each(order_.begin(), order_.end(), weigh);
                } else {
                    for (const std::size_t rank : in_mixed_groups_) {
                        weigh(order_[rank]);
                    }
                }
                if (best != a) {
                    trade(a, best);
                    traded = true;
                }
            }
            if (!traded) {
                return;
            }
        }
    }

private:
    // What the pieces of `group` but `left_out` cost `piece` there, in a group
    // of as many pieces as `group` has: a trade keeps every group's piece count.
    [[nodiscard]] std::uint64_t cost(std::size_t piece, GroupIndex group, std::size_t left_out) const {
        const std::vector<std::size_t>& in_group = members_[group];
        if (in_group.size() < 2) {
            return 0;
        }
        const std::uint64_t others = in_group.size() - 1;
        std::uint64_t total = 0;
        for (const std::size_t other : in_group) {
            if (other != piece && other != left_out) {
                total += distances_.between(pieces_[other].node, pieces_[piece].node) / others;
            }
        }
        return total;
    }

    [[nodiscard]] bool room_to_trade(std::size_t a, std::size_t b) const {
        const DWORD size_a = pieces_[a].size;
        const DWORD size_b = pieces_[b].size;
        if (size_a > size_b) {
            return used_[group_of_[b]] + (size_a - size_b) <= kMaxGroupSize;
        }
        return used_[group_of_[a]] + (size_b - size_a) <= kMaxGroupSize;
    }

    // How much closer a and b would be to their groups' other pieces with their
    // places traded; 0 when the trade brings nothing or is not allowed.
    [[nodiscard]] std::uint64_t gain_of_trade(std::size_t a, std::uint64_t cost_a, std::size_t b) const {
        const GroupIndex group_a = group_of_[a];
        const GroupIndex group_b = group_of_[b];
        if (group_a == group_b || !room_to_trade(a, b)) {
            return 0;
        }
        const std::uint64_t before = cost_a + cost(b, group_b, b);
        const std::uint64_t after = cost(a, group_b, b) + cost(b, group_a, a);
        return before > after ? before - after : 0;
    }

    void trade(std::size_t a, std::size_t b) {
        const GroupIndex group_a = group_of_[a];
        const GroupIndex group_b = group_of_[b];
        unmark(group_a);
        unmark(group_b);
        std::replace(members_[group_a].begin(), members_[group_a].end(), a, b);
        std::replace(members_[group_b].begin(), members_[group_b].end(), b, a);
        used_[group_a] = used_[group_a] - pieces_[a].size + pieces_[b].size;
        used_[group_b] = used_[group_b] - pieces_[b].size + pieces_[a].size;
        group_of_[a] = group_b;
        group_of_[b] = group_a;
        mark_if_mixed(group_a);
        mark_if_mixed(group_b);
    }

    [[nodiscard]] bool is_mixed(GroupIndex group) const {
        const std::vector<std::size_t>& in_group = members_[group];
        return std::any_of(in_group.begin(), in_group.end(), [&](std::size_t piece) {
            return pieces_[piece].node != pieces_[in_group.front()].node;
        });
    }

    void mark_if_mixed(GroupIndex group) {
        if (is_mixed(group)) {
            for (const std::size_t piece : members_[group]) {
                in_mixed_groups_.insert(rank_of_[piece]);
            }
        }
    }

    void unmark(GroupIndex group) {
        for (const std::size_t piece : members_[group]) {
            in_mixed_groups_.erase(rank_of_[piece]);
        }
    }

    const std::vector<Piece>& pieces_;
    const NodeDistances& distances_;
    const std::vector<std::size_t>& order_;
    std::vector<GroupIndex>& group_of_;
    std::vector<std::vector<std::size_t>> members_;
    std::vector<DWORD> used_;
    std::vector<std::size_t> rank_of_;                // place of each piece in order_
    std::set<std::size_t> in_mixed_groups_;          // ranks of the pieces in groups of several nodes
};

// The fewest groups, evenly filled, close nodes together.
std::vector<GroupIndex> balance_nodes(const std::vector<Piece>& pieces, const NodeDistances& distances) {
    const std::vector<std::size_t> order = largest_first(pieces);
    for (std::size_t groups = fewest_groups_possible(pieces);; ++groups) {
        std::vector<GroupIndex> group_of = spread(pieces, order, groups);
        if (!group_of.empty()) {
            Trader(pieces, distances, order, group_of, groups).trade_while_closer();
            return group_of;
        }
    }
}

// Renumbers the groups in the order their first piece appears.
std::vector<WORD> numbered_as_met(const std::vector<GroupIndex>& group_of) {
    constexpr WORD kUnnumbered = 0xffff;
    const GroupIndex groups = group_of.empty() ? 0 : *std::max_element(group_of.begin(), group_of.end()) + 1;
    std::vector<WORD> number(groups, kUnnumbered);
    std::vector<WORD> numbered;
    numbered.reserve(group_of.size());
    WORD next = 0;
    for (const GroupIndex group : group_of) {
        if (number[group] == kUnnumbered) {
            number[group] = next++;
        }
        numbered.push_back(number[group]);
    }
    return numbered;
}

}  // namespace

std::vector<WORD> assign_groups(const std::vector<Piece>& pieces, const NodeDistances& distances) {
    const bool one_node = std::all_of(pieces.begin(), pieces.end(),
                                      [&pieces](const Piece& piece) { return piece.node == pieces.front().node; });
    if (one_node) {
        return numbered_as_met(first_fit(pieces));
    }
    return numbered_as_met(balance_nodes(pieces, distances));
}

}  // namespace procgroups
