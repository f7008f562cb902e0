#include "group_assignment.hpp"

#include <algorithm>
#include <numeric>

#include "fewest_groups.hpp"
#include "trades.hpp"

namespace procgroups {

namespace {

// Each piece, in order, into the lowest group with room for it, or a new one.
std::vector<GroupIndex> first_fit(const std::vector<Piece>& pieces) {
    std::vector<std::uint32_t> used;
    std::vector<GroupIndex> group_of;
    group_of.reserve(pieces.size());
    for (const Piece& piece : pieces) {
        const auto fits = std::find_if(used.begin(), used.end(),
                                       [&piece](std::uint32_t size) { return size + piece.size <= kMaxGroupSize; });
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

// Renumbers the groups: the boot piece's first, as Windows gives the boot
// processor group 0, then the others in the order their first piece appears.
std::vector<GroupNumber> numbered_as_met(const std::vector<GroupIndex>& group_of, std::size_t boot_piece) {
    constexpr GroupNumber kUnnumbered = 0xffff;
    const GroupIndex groups = group_of.empty() ? 0 : *std::max_element(group_of.begin(), group_of.end()) + 1;
    std::vector<GroupNumber> number(groups, kUnnumbered);
    std::vector<GroupNumber> numbered;
    numbered.reserve(group_of.size());
    GroupNumber next = 0;
    if (boot_piece < group_of.size()) {
        number[group_of[boot_piece]] = next++;
    }
    for (const GroupIndex group : group_of) {
        if (number[group] == kUnnumbered) {
            number[group] = next++;
        }
        numbered.push_back(number[group]);
    }
    return numbered;
}

}  // namespace

std::vector<GroupNumber> assign_groups(const std::vector<Piece>& pieces, const NodeDistances& distances,
                                       std::size_t boot_piece) {
    if (pieces.size() == 1) {
        return {0};  // every machine of 64 CPUs or fewer: no search, at start-up
    }
    const bool one_node = std::all_of(pieces.begin(), pieces.end(),
                                      [&pieces](const Piece& piece) { return piece.node == pieces.front().node; });
    if (one_node) {
        return numbered_as_met(first_fit(pieces), boot_piece);
    }
    // The fewest groups, evenly filled, close nodes together.
    const std::vector<std::size_t> order = largest_first(pieces);
    return numbered_as_met(trade_while_closer(pieces, distances, order, spread_over_fewest_groups(pieces, order)),
                           boot_piece);
}

}  // namespace procgroups
