#include "group_rules/trades.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "group_rules/group_costs.hpp"

namespace procgroups {

namespace {

// Windows stops looking for closer arrangements after this many passes.
constexpr int kMaxTradePasses = 10;

// The make-up of each group: the node and size of each of its pieces, as an
// id that groups alike share, and the groups that have each.
class MakeUps {
public:
    MakeUps(const std::vector<Piece>& pieces, const GroupCosts& costs, std::size_t groups)
        : pieces_(pieces), costs_(costs), make_up_of_group_(groups) {
        for (GroupIndex group = 0; group < groups; ++group) {
            make_up_of_group_[group] = id_of(group);
            groups_of_make_up_[make_up_of_group_[group]].insert(group);
        }
    }

    [[nodiscard]] std::uint32_t of(GroupIndex group) const { return make_up_of_group_[group]; }
    [[nodiscard]] bool shared(std::uint32_t make_up) const { return groups_of_make_up_[make_up].size() > 1; }

    // After a trade between the two groups: they, and any group that no longer
    // shares its make-up or now does.
    [[nodiscard]] std::vector<GroupIndex> after_trade(GroupIndex group_a, GroupIndex group_b) {
        std::vector<GroupIndex> changed{group_a, group_b};
        for (const GroupIndex group : {group_a, group_b}) {
            const std::uint32_t before = make_up_of_group_[group];
            const std::uint32_t after = id_of(group);
            if (before == after) {
                continue;
            }
            make_up_of_group_[group] = after;
            std::set<GroupIndex>& left = groups_of_make_up_[before];
            left.erase(group);
            if (left.size() == 1) {
                changed.push_back(*left.begin());
            }
            std::set<GroupIndex>& joined = groups_of_make_up_[after];
            joined.insert(group);
            if (joined.size() == 2) {
                changed.push_back(*joined.begin() == group ? *joined.rbegin() : *joined.begin());
            }
        }
        return changed;
    }

private:
    using MakeUp = std::vector<std::pair<NodeIndex, std::uint32_t>>;

    [[nodiscard]] std::uint32_t id_of(GroupIndex group) {
        MakeUp make_up;
        for (const std::size_t piece : costs_.members(group)) {
            make_up.emplace_back(pieces_[piece].node, pieces_[piece].size);
        }
        std::sort(make_up.begin(), make_up.end());
        const auto [found, added] = ids_.try_emplace(std::move(make_up), static_cast<std::uint32_t>(ids_.size()));
        if (added) {
            groups_of_make_up_.emplace_back();
        }
        return found->second;
    }

    const std::vector<Piece>& pieces_;
    const GroupCosts& costs_;
    std::vector<std::uint32_t> make_up_of_group_;
    std::map<MakeUp, std::uint32_t> ids_;
    std::vector<std::set<GroupIndex>> groups_of_make_up_;
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
        : pieces_(pieces), costs_(costs), groups_(static_cast<GroupIndex>(groups)), make_ups_(pieces, costs, groups),
          rank_of_(pieces.size()), key_of_piece_(pieces.size()), slot_of_piece_(pieces.size()) {
        for (std::size_t rank = 0; rank < order.size(); ++rank) {
            rank_of_[order[rank]] = rank;
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
        for (const GroupIndex group : make_ups_.after_trade(group_a, group_b)) {
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

    // A group of its own make-up, or groups + a shared make-up's id; node; size.
    using Key = std::tuple<std::uint32_t, NodeIndex, std::uint32_t>;
    struct PieceClass {
        std::set<std::size_t> ranks;  // of its pieces, so that its earliest is at hand; empty in a free slot
        std::size_t untraded_after = kNoTradeCount;  // the trade count at which one of them found no trade
    };

    [[nodiscard]] Key key_of(std::size_t piece) const {
        const GroupIndex group = costs_.group_of(piece);
        const std::uint32_t make_up = make_ups_.of(group);
        return {make_ups_.shared(make_up) ? groups_ + make_up : group, pieces_[piece].node, pieces_[piece].size};
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
    MakeUps make_ups_;
    std::vector<std::size_t> rank_of_;  // place of each piece in size order
    std::vector<Key> key_of_piece_;
    std::vector<std::size_t> slot_of_piece_;
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
           Spread spread)
        : order_(order), costs_(pieces, distances, std::move(spread.group_of), spread.groups),
          classes_(pieces, order, costs_, spread.groups) {}

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

}  // namespace

std::vector<GroupIndex> trade_while_closer(const std::vector<Piece>& pieces, const NodeDistances& distances,
                                           const std::vector<std::size_t>& order, Spread spread) {
    return Trader(pieces, distances, order, std::move(spread)).trade_while_closer();
}

}  // namespace procgroups
