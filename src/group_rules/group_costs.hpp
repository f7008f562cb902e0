#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "group_assignment.hpp"

namespace procgroups {

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
        const std::uint32_t size_a = pieces_[a].size;
        const std::uint32_t size_b = pieces_[b].size;
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
    std::vector<std::uint32_t> used_;
    std::size_t node_count_ = 0;
    std::vector<std::size_t> sums_of_;  // for each group of several pieces, where its sums by node start
    std::vector<std::uint64_t> sums_;
};


}  // namespace procgroups
