#include "group_rules/group_assignment.hpp"

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

// Where each piece is, and what the pieces of each group cost a piece of any
// node there. A piece's cost in a group is the sum of the other pieces'
// distances to it, each divided by their number. A trade keeps every group's
// piece count, so each term's divisor stays fixed and a group's cost to any
// node is kept as a sum, mended at each trade.
class GroupCosts {
public:
    GroupCosts(const std::vector<Piece>& pieces, const NodeDistances& distances, std::vector<GroupIndex> group_of,
               std::size_t groups)
        : pieces_(pieces), distances_(distances), group_of_(std::move(group_of)), members_(groups), used_(groups, 0) {
        for (const Piece& piece : pieces) {
            node_count_ = std::max(node_count_, std::size_t{piece.node} + 1);
        }
        for (std::size_t piece = 0; piece < pieces.size(); ++piece) {
            members_[group_of_[piece]].push_back(piece);
            used_[group_of_[piece]] += pieces[piece].size;
        }
        sums_of_.assign(groups, 0);
        for (GroupIndex group = 0; group < groups; ++group) {
            if (members_[group].size() > 1) {
                sums_of_[group] = sums_.size();
                sums_.resize(sums_.size() + node_count_, 0);
                for (const std::size_t piece : members_[group]) {
                    for (std::uint32_t node = 0; node < node_count_; ++node) {
                        sum(group, node) += term(group, pieces[piece].node, node);
                    }
                }
            }
        }
    }

    [[nodiscard]] GroupIndex group_of(std::size_t piece) const { return group_of_[piece]; }
    [[nodiscard]] const std::vector<std::size_t>& members(GroupIndex group) const { return members_[group]; }
    [[nodiscard]] std::vector<GroupIndex> take_groups() { return std::move(group_of_); }

    [[nodiscard]] std::uint64_t cost_where_it_is(std::size_t piece) const {
        const GroupIndex group = group_of_[piece];
        return members_[group].size() > 1 ? sum(group, pieces_[piece].node) : 0;
    }

    // What `piece` would cost in the group of `replaced`, in its place.
    [[nodiscard]] std::uint64_t cost_in_place_of(std::size_t piece, std::size_t replaced) const {
        const GroupIndex group = group_of_[replaced];
        if (members_[group].size() < 2) {
            return 0;
        }
        const std::uint32_t node = pieces_[piece].node;
        return sum(group, node) - term(group, pieces_[replaced].node, node);
    }

    // Whether a and b can trade places and leave both groups within 64 CPUs.
    [[nodiscard]] bool room_to_trade(std::size_t a, std::size_t b) const {
        const DWORD size_a = pieces_[a].size;
        const DWORD size_b = pieces_[b].size;
        if (size_a > size_b) {
            return used_[group_of_[b]] + (size_a - size_b) <= kMaxGroupSize;
        }
        return used_[group_of_[a]] + (size_b - size_a) <= kMaxGroupSize;
    }

    void trade(std::size_t a, std::size_t b) {
        const GroupIndex group_a = group_of_[a];
        const GroupIndex group_b = group_of_[b];
        move(a, group_b, b);
        move(b, group_a, a);
        group_of_[a] = group_b;
        group_of_[b] = group_a;
    }

private:
    // What one piece of node `from` in `group` costs a piece of node `to` there.
    [[nodiscard]] std::uint64_t term(GroupIndex group, std::uint32_t from, std::uint32_t to) const {
        return distances_.between(from, to) / (members_[group].size() - 1);
    }
    [[nodiscard]] std::uint64_t& sum(GroupIndex group, std::uint32_t node) { return sums_[sums_of_[group] + node]; }
    [[nodiscard]] std::uint64_t sum(GroupIndex group, std::uint32_t node) const {
        return sums_[sums_of_[group] + node];
    }

    // Puts `piece` in `group` in place of `replaced`; its own group is mended by the other move.
    void move(std::size_t piece, GroupIndex group, std::size_t replaced) {
        used_[group] = used_[group] - pieces_[replaced].size + pieces_[piece].size;
        *std::find(members_[group].begin(), members_[group].end(), replaced) = piece;
        if (members_[group].size() < 2) {
            return;
        }
        for (std::uint32_t node = 0; node < node_count_; ++node) {
            std::uint64_t& total = sum(group, node);
            total = total - term(group, pieces_[replaced].node, node) + term(group, pieces_[piece].node, node);
        }
    }

    const std::vector<Piece>& pieces_;
    const NodeDistances& distances_;
    std::vector<GroupIndex> group_of_;
    std::vector<std::vector<std::size_t>> members_;  // their count is fixed: a trade is one piece for one
    std::vector<DWORD> used_;
    std::size_t node_count_ = 0;
    std::vector<std::size_t> sums_of_;  // for each group of several pieces, where its sums by node start
    std::vector<std::uint64_t> sums_;
};

// Pieces that weigh the same in a trade with any piece of another group: of
// one node and one size, in one group, or in groups of the same make-up (the
// node and size of each of their pieces). A trade is weighed with the earliest
// piece of each class alone; where one piece of a class finds no trade, the
// others find none either, and look for none until a trade is made.
//
// A group whose make-up no other group has is a class key of its own, which a
// trade changes for the traded pieces alone; only groups that share a make-up
// (or stop sharing one) have every piece filed anew.
class PieceClasses {
public:
    PieceClasses(const std::vector<Piece>& pieces, const std::vector<std::size_t>& order, const GroupCosts& costs,
                 std::size_t groups)
        : pieces_(pieces), costs_(costs), groups_(static_cast<GroupIndex>(groups)), rank_of_(pieces.size()),
          key_of_piece_(pieces.size()), slot_of_piece_(pieces.size()), make_up_of_group_(groups) {
        for (std::size_t rank = 0; rank < order.size(); ++rank) {
            rank_of_[order[rank]] = rank;
        }
        for (GroupIndex group = 0; group < groups_; ++group) {
            make_up_of_group_[group] = make_up_id(group);
            groups_of_make_up_[make_up_of_group_[group]].insert(group);
        }
        for (std::size_t piece = 0; piece < pieces.size(); ++piece) {
            file(piece, key_of(piece));
        }
    }

    [[nodiscard]] std::size_t rank_of(std::size_t piece) const { return rank_of_[piece]; }

    // Calls weigh(b) with the earliest piece b of each class outside `group`.
    template <typename Weigh>
    void for_each_earliest_outside(GroupIndex group, const std::vector<std::size_t>& order, Weigh weigh) const {
        for (const PieceClass& pieces : classes_) {
            for (const std::size_t rank : pieces.ranks) {
                if (costs_.group_of(order[rank]) != group) {
                    weigh(order[rank]);
                    break;
                }
            }
        }
    }

    [[nodiscard]] bool found_nothing_since(std::size_t piece, std::size_t trades) const {
        return classes_[slot_of_piece_[piece]].untraded_after == trades;
    }
    void mark_found_nothing(std::size_t piece, std::size_t trades) {
        classes_[slot_of_piece_[piece]].untraded_after = trades;
    }

    // Files anew the pieces whose class a trade between the two groups changed.
    void after_trade(GroupIndex group_a, GroupIndex group_b) {
        std::vector<GroupIndex> changed{group_a, group_b};
        for (const GroupIndex group : {group_a, group_b}) {
            const std::uint32_t before = make_up_of_group_[group];
            const std::uint32_t after = make_up_id(group);
            if (before == after) {
                continue;
            }
            make_up_of_group_[group] = after;
            std::set<GroupIndex>& left = groups_of_make_up_[before];
            left.erase(group);
            if (left.size() == 1) {
                changed.push_back(*left.begin());  // no longer shares its make-up
            }
            std::set<GroupIndex>& joined = groups_of_make_up_[after];
            joined.insert(group);
            if (joined.size() == 2) {
                changed.push_back(*joined.begin() == group ? *joined.rbegin() : *joined.begin());  // now shares it
            }
        }
        for (const GroupIndex group : changed) {
            for (const std::size_t piece : costs_.members(group)) {
                if (const Key key = key_of(piece); key != key_of_piece_[piece]) {
                    unfile(piece);
                    file(piece, key);
                }
            }
        }
    }

private:
    static constexpr std::size_t kNoTradeCount = ~std::size_t{0};

    using MakeUp = std::vector<std::pair<std::uint32_t, DWORD>>;
    // A group of its own make-up, or groups - 1 + a shared make-up's id; node; size.
    using Key = std::tuple<std::uint32_t, std::uint32_t, DWORD>;
    struct PieceClass {
        std::set<std::size_t> ranks;  // of its pieces, so that its earliest is at hand; empty in a free slot
        std::size_t untraded_after = kNoTradeCount;  // the trade count at which one of them found no trade
    };

    [[nodiscard]] std::uint32_t make_up_id(GroupIndex group) {
        MakeUp make_up;
        for (const std::size_t piece : costs_.members(group)) {
            make_up.emplace_back(pieces_[piece].node, pieces_[piece].size);
        }
        std::sort(make_up.begin(), make_up.end());
        const auto [found, added] = make_ups_.try_emplace(std::move(make_up), static_cast<std::uint32_t>(make_ups_.size()));
        if (added) {
            groups_of_make_up_.emplace_back();
        }
        return found->second;
    }

    [[nodiscard]] Key key_of(std::size_t piece) const {
        const GroupIndex group = costs_.group_of(piece);
        const std::uint32_t make_up = make_up_of_group_[group];
        const std::uint32_t owner = groups_of_make_up_[make_up].size() > 1 ? groups_ + make_up : group;
        return {owner, pieces_[piece].node, pieces_[piece].size};
    }

    void file(std::size_t piece, const Key& key) {
        const auto [found, added] = slot_of_.try_emplace(key, 0);
        if (added) {
            found->second = take_slot();
        }
        key_of_piece_[piece] = key;
        slot_of_piece_[piece] = found->second;
        classes_[found->second].ranks.insert(rank_of_[piece]);
    }

    void unfile(std::size_t piece) {
        const std::size_t slot = slot_of_piece_[piece];
        classes_[slot].ranks.erase(rank_of_[piece]);
        if (classes_[slot].ranks.empty()) {
            slot_of_.erase(key_of_piece_[piece]);
            free_slots_.push_back(slot);
        }
    }

    [[nodiscard]] std::size_t take_slot() {
        if (free_slots_.empty()) {
            classes_.emplace_back();
            return classes_.size() - 1;
        }
        const std::size_t slot = free_slots_.back();
        free_slots_.pop_back();
        classes_[slot] = {};
        return slot;
    }

    const std::vector<Piece>& pieces_;
    const GroupCosts& costs_;
    GroupIndex groups_;
    std::vector<std::size_t> rank_of_;  // place of each piece in size order
    std::vector<Key> key_of_piece_;
    std::vector<std::size_t> slot_of_piece_;
    std::vector<std::uint32_t> make_up_of_group_;
    std::map<MakeUp, std::uint32_t> make_ups_;
    std::vector<std::set<GroupIndex>> groups_of_make_up_;
    std::map<Key, std::size_t> slot_of_;  // of each class in classes_
    std::vector<PieceClass> classes_;     // laid out in one run for the weighing, which reads them all
    std::vector<std::size_t> free_slots_;
};

// Trades pieces between groups while that brings nodes closer together; a
// trade must leave every group within 64 CPUs. Each piece in turn, in size
// order, takes the trade of largest gain, the earliest piece in size order on
// a tie.
class Trader {
public:
    Trader(const std::vector<Piece>& pieces, const NodeDistances& distances, const std::vector<std::size_t>& order,
           std::vector<GroupIndex> group_of, std::size_t groups)
        : order_(order), costs_(pieces, distances, std::move(group_of), groups), classes_(pieces, order, costs_, groups) {}

    std::vector<GroupIndex> trade_while_closer() {
        std::size_t trades = 0;
        for (int pass = 0; pass < kMaxTradePasses; ++pass) {
            const std::size_t trades_before = trades;
            for (const std::size_t a : order_) {
                if (classes_.found_nothing_since(a, trades)) {
                    continue;
                }
                if (const std::size_t b = best_trade(a); b != a) {
                    trade(a, b);
                    ++trades;
                } else {
                    classes_.mark_found_nothing(a, trades);
                }
            }
            if (trades == trades_before) {
                break;
            }
        }
        return costs_.take_groups();
    }

private:
    // The piece to trade places with a for the largest gain; a itself when none gains.
    [[nodiscard]] std::size_t best_trade(std::size_t a) const {
        const std::uint64_t cost_a = costs_.cost_where_it_is(a);
        std::uint64_t best_gain = 0;
        std::size_t best = a;
        classes_.for_each_earliest_outside(costs_.group_of(a), order_, [&](std::size_t b) {
            const std::uint64_t gain = gain_of_trade(a, cost_a, b);
            if (gain > best_gain || (gain == best_gain && gain > 0 && classes_.rank_of(b) < classes_.rank_of(best))) {
                best_gain = gain;
                best = b;
            }
        });
        return best;
    }

    // How much closer a and b, of two groups, would be to their groups' other
    // pieces with their places traded; 0 when the trade brings nothing or is not allowed.
    [[nodiscard]] std::uint64_t gain_of_trade(std::size_t a, std::uint64_t cost_a, std::size_t b) const {
        if (!costs_.room_to_trade(a, b)) {
            return 0;
        }
        const std::uint64_t before = cost_a + costs_.cost_where_it_is(b);
        const std::uint64_t after = costs_.cost_in_place_of(a, b) + costs_.cost_in_place_of(b, a);
        return before > after ? before - after : 0;
    }

    void trade(std::size_t a, std::size_t b) {
        const GroupIndex group_a = costs_.group_of(a);
        const GroupIndex group_b = costs_.group_of(b);
        costs_.trade(a, b);
        classes_.after_trade(group_a, group_b);
    }

    const std::vector<std::size_t>& order_;
    GroupCosts costs_;
    PieceClasses classes_;
};

// The fewest groups, evenly filled, close nodes together.
std::vector<GroupIndex> balance_nodes(const std::vector<Piece>& pieces, const NodeDistances& distances) {
    const std::vector<std::size_t> order = largest_first(pieces);
    for (std::size_t groups = fewest_groups_possible(pieces);; ++groups) {
        std::vector<GroupIndex> group_of = spread(pieces, order, groups);
        if (!group_of.empty()) {
            return Trader(pieces, distances, order, std::move(group_of), groups).trade_while_closer();
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
