#include "trades.hpp"

#include <utility>

#include "group_costs.hpp"

namespace procgroups {

namespace {

// Windows stops looking for closer arrangements after this many passes.
constexpr int kMaxTradePasses = 10;

// Trades pieces between groups while that brings nodes closer together; a
// trade must leave every group within 64 CPUs. Each piece in turn, in size
// order, takes the trade of largest gain, the earliest piece in size order on
// a tie.
class Trader {
public:
    Trader(const std::vector<Piece>& pieces, const NodeDistances& distances, const std::vector<std::size_t>& order,
           Spread spread)
        : order_(order), costs_(pieces, distances, std::move(spread.group_of), spread.groups),
          found_nothing_after_(pieces.size(), kNoTradeCount) {}

    std::vector<GroupIndex> trade_while_closer() {
        std::size_t trades = 0;
        for (int pass = 0; pass < kMaxTradePasses; ++pass) {
            const std::size_t trades_before = trades;
            for (const std::size_t a : order_) {
                // Nothing has changed since a found no trade: it would find none again.
                if (found_nothing_after_[a] == trades) {
                    continue;
                }
                if (const std::size_t b = best_trade(a); b != a) {
                    costs_.trade(a, b);
                    ++trades;
                } else {
                    found_nothing_after_[a] = trades;
                }
            }
            if (trades == trades_before) {
                break;
            }
        }
        return costs_.take_groups();
    }

private:
    // The piece to trade places with a for the largest gain, the earliest in
    // size order on a tie; a itself when none gains.
    [[nodiscard]] std::size_t best_trade(std::size_t a) const {
        const GroupIndex group_a = costs_.group_of(a);
        const std::uint64_t cost_a = costs_.cost_where_it_is(a);
        std::uint64_t best_gain = 0;
        std::size_t best = a;
        for (const std::size_t b : order_) {
            if (costs_.group_of(b) == group_a) {
                continue;
            }
            if (const std::uint64_t gain = gain_of_trade(a, cost_a, b); gain > best_gain) {
                best_gain = gain;
                best = b;
            }
        }
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

    static constexpr std::size_t kNoTradeCount = ~std::size_t{0};

    const std::vector<std::size_t>& order_;
    GroupCosts costs_;
    std::vector<std::size_t> found_nothing_after_;  // by piece: the trade count at which it last found no trade
};

}  // namespace

std::vector<GroupIndex> trade_while_closer(const std::vector<Piece>& pieces, const NodeDistances& distances,
                                           const std::vector<std::size_t>& order, Spread spread) {
    return Trader(pieces, distances, order, std::move(spread)).trade_while_closer();
}

}  // namespace procgroups
