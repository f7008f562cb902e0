#include "win32/linux/group_assignment.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <set>
#include <tuple>
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
// Each piece in turn takes the trade of largest gain, the earliest piece in
// size order on a tie.
//
// A trade keeps every group's piece count, so each term's divisor stays fixed
// and a group's cost to any node can be kept as a sum, mended at each trade.
// Pieces of one node and one size in one group weigh the same, and so do
// those of one node and one size alone in their groups: only the earliest of
// each such class is weighed, and where one of a class finds no trade, the
// others look for none until a trade is made.
class Trader {
public:
    Trader(const std::vector<Piece>& pieces, const NodeDistances& distances, const std::vector<std::size_t>& order,
           std::vector<GroupIndex>& group_of, std::size_t groups)
        : pieces_(pieces), distances_(distances), order_(order), group_of_(group_of), used_(groups, 0),
          piece_count_(groups, 0), sums_of_(groups, kNoSums), rank_of_(pieces.size()) {
        for (const Piece& piece : pieces) {
            node_count_ = std::max(node_count_, std::size_t{piece.node} + 1);
        }
        for (std::size_t piece = 0; piece < pieces.size(); ++piece) {
            used_[group_of[piece]] += pieces[piece].size;
            ++piece_count_[group_of[piece]];
        }
        for (std::size_t rank = 0; rank < order.size(); ++rank) {
            const std::size_t piece = order[rank];
            rank_of_[piece] = rank;
            const GroupIndex group = group_of[piece];
            if (piece_count_[group] > 1) {
                if (sums_of_[group] == kNoSums) {
                    sums_of_[group] = sums_.size();
                    sums_.resize(sums_.size() + node_count_, 0);
                }
                add_to_sums(group, piece);
            }
            classes_[class_of(piece)].ranks.insert(rank);
        }
    }

    void trade_while_closer() {
        for (int pass = 0; pass < kMaxTradePasses; ++pass) {
            bool traded = false;
            for (const std::size_t a : order_) {
                // What one piece of a class found holds for the rest until a trade.
                PieceClass& weighed = classes_.at(class_of(a));
                if (weighed.untraded_after == trades_) {
                    continue;
                }
                if (const std::size_t b = best_trade(a); b != a) {
                    trade(a, b);
                    ++trades_;
                    traded = true;
                } else {
                    weighed.untraded_after = trades_;
                }
            }
            if (!traded) {
                return;
            }
        }
    }

private:
    static constexpr std::size_t kNoSums = ~std::size_t{0};
    static constexpr GroupIndex kAlone = ~GroupIndex{0};
    static constexpr std::size_t kNoTradeCount = ~std::size_t{0};

    // Pieces that weigh the same in any trade: their group (or kAlone), node and size.
    using Class = std::tuple<GroupIndex, std::uint32_t, DWORD>;
    struct PieceClass {
        std::set<std::size_t> ranks;  // of its pieces, so that its earliest is at hand
        std::size_t untraded_after = kNoTradeCount;  // the trade count at which one of them found no trade
    };

    [[nodiscard]] Class class_of(std::size_t piece) const {
        const GroupIndex group = group_of_[piece];
        return {piece_count_[group] > 1 ? group : kAlone, pieces_[piece].node, pieces_[piece].size};
    }

    // The piece to trade places with a for the largest gain; a itself when none gains.
    [[nodiscard]] std::size_t best_trade(std::size_t a) const {
        const std::uint64_t cost_a = cost_where_it_is(a);
        std::uint64_t best_gain = 0;
        std::size_t best = a;
        for (const auto& [kind, pieces] : classes_) {
            const std::size_t rank = *pieces.ranks.begin();
            const std::size_t b = order_[rank];
            const std::uint64_t gain = gain_of_trade(a, cost_a, b);
            if (gain > best_gain || (gain == best_gain && gain > 0 && rank < rank_of_[best])) {
                best_gain = gain;
                best = b;
            }
        }
        return best;
    }

    // What one piece of node `from` in `group` costs a piece of node `to` there.
    [[nodiscard]] std::uint64_t term(GroupIndex group, std::uint32_t from, std::uint32_t to) const {
        return distances_.between(from, to) / (piece_count_[group] - 1);
    }

    // What the pieces of `group` cost a piece of `node` there, all told.
    [[nodiscard]] std::uint64_t& sum(GroupIndex group, std::uint32_t node) {
        return sums_[sums_of_[group] + node];
    }
    [[nodiscard]] std::uint64_t sum(GroupIndex group, std::uint32_t node) const {
        return sums_[sums_of_[group] + node];
    }

    void add_to_sums(GroupIndex group, std::size_t piece) {
        for (std::uint32_t node = 0; node < node_count_; ++node) {
            sum(group, node) += term(group, pieces_[piece].node, node);
        }
    }

    [[nodiscard]] std::uint64_t cost_where_it_is(std::size_t piece) const {
        const GroupIndex group = group_of_[piece];
        return piece_count_[group] > 1 ? sum(group, pieces_[piece].node) : 0;
    }

    // What `piece` would cost in the group of `replaced`, in its place.
    [[nodiscard]] std::uint64_t cost_in_place_of(std::size_t piece, std::size_t replaced) const {
        const GroupIndex group = group_of_[replaced];
        if (piece_count_[group] < 2) {
            return 0;
        }
        const std::uint32_t node = pieces_[piece].node;
        return sum(group, node) - term(group, pieces_[replaced].node, node);
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
        if (group_of_[a] == group_of_[b] || !room_to_trade(a, b)) {
            return 0;
        }
        const std::uint64_t before = cost_a + cost_where_it_is(b);
        const std::uint64_t after = cost_in_place_of(a, b) + cost_in_place_of(b, a);
        return before > after ? before - after : 0;
    }

    void trade(std::size_t a, std::size_t b) {
        leave_class(a);
        leave_class(b);
        move(a, group_of_[b], b);
        move(b, group_of_[a], a);
        std::swap(group_of_[a], group_of_[b]);
        classes_[class_of(a)].ranks.insert(rank_of_[a]);
        classes_[class_of(b)].ranks.insert(rank_of_[b]);
    }

    // Puts `piece` in `group` in place of `replaced`; its own group is mended by the other move.
    void move(std::size_t piece, GroupIndex group, std::size_t replaced) {
        used_[group] = used_[group] - pieces_[replaced].size + pieces_[piece].size;
        if (piece_count_[group] < 2) {
            return;
        }
        for (std::uint32_t node = 0; node < node_count_; ++node) {
            std::uint64_t& total = sum(group, node);
            total = total - term(group, pieces_[replaced].node, node) + term(group, pieces_[piece].node, node);
        }
    }

    void leave_class(std::size_t piece) {
        const auto in_class = classes_.find(class_of(piece));
        in_class->second.ranks.erase(rank_of_[piece]);
        if (in_class->second.ranks.empty()) {
            classes_.erase(in_class);
        }
    }

    const std::vector<Piece>& pieces_;
    const NodeDistances& distances_;
    const std::vector<std::size_t>& order_;
    std::vector<GroupIndex>& group_of_;
    std::vector<DWORD> used_;
    std::vector<std::uint32_t> piece_count_;  // fixed: a trade is one piece for one
    std::size_t node_count_ = 0;
    // For each group of several pieces, where its sums by node start in sums_.
    std::vector<std::size_t> sums_of_;
    std::vector<std::uint64_t> sums_;
    std::vector<std::size_t> rank_of_;  // place of each piece in order_
    std::map<Class, PieceClass> classes_;
    std::size_t trades_ = 0;
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
