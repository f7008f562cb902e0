#pragma once

#include <cstddef>
#include <vector>

#include "group_assignment.hpp"

namespace procgroups {

// The pieces spread over the fewest groups that hold them: the first pieces in
// `order` (largest first) open one group each, and each later piece joins, of
// the groups with room for it, the one with the fewest pieces (the lowest on a
// tie). The count is the fewest at which that succeeds.
struct Spread {
    std::vector<GroupIndex> group_of;
    std::size_t groups = 0;
};
[[nodiscard]] Spread spread_over_fewest_groups(const std::vector<Piece>& pieces, const std::vector<std::size_t>& order);

}  // namespace procgroups
