#pragma once

#include <cstddef>
#include <vector>

#include "fewest_groups.hpp"
#include "group_assignment.hpp"

namespace procgroups {

// Trades pieces between the spread's groups while that brings nodes closer
// together; `order` is the pieces' size order, largest first. Returns the
// group of each piece.
[[nodiscard]] std::vector<GroupIndex> trade_while_closer(const std::vector<Piece>& pieces, const NodeDistances& distances,
                                                         const std::vector<std::size_t>& order, Spread spread);

}  // namespace procgroups
