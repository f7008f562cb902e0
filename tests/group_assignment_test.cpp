// assign_groups against the rule written plainly: the fewest groups found by
// spreading at every count from one, then every pair of pieces weighed from
// scratch on every pass. No bound, sums or classes: what those shortcuts must
// give exactly, on seeded random machines.
#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "group_rules/group_assignment.hpp"

namespace procgroups {
namespace {

using Groups = std::vector<std::size_t>;

// Largest first, each later piece into the group of fewest pieces with room.
Groups plain_spread(const std::vector<Piece>& pieces, const std::vector<std::size_t>& order, std::size_t count) {
    Groups group_of(pieces.size());
    std::vector<std::uint32_t> used(count, 0);
    std::vector<std::size_t> members(count, 0);
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const std::size_t piece = order[rank];
        std::size_t best = rank < count ? rank : count;
        for (std::size_t group = 0; group < count && rank >= count; ++group) {
            if (used[group] + pieces[piece].size <= kMaxGroupSize && (best == count || members[group] < members[best])) {
                best = group;
            }
        }
        if (best == count) {
            return {};
        }
        used[best] += pieces[piece].size;
        ++members[best];
        group_of[piece] = best;
    }
    return group_of;
}

std::uint64_t plain_cost(const std::vector<Piece>& pieces, const NodeDistances& distances, const Groups& group_of,
                         std::size_t piece) {
    const auto others = static_cast<std::uint64_t>(std::count(group_of.begin(), group_of.end(), group_of[piece])) - 1;
    std::uint64_t cost = 0;
    for (std::size_t other = 0; other < pieces.size(); ++other) {
        if (other != piece && group_of[other] == group_of[piece]) {
            cost += distances.between(pieces[other].node, pieces[piece].node) / others;
        }
    }
    return cost;
}

std::uint32_t plain_used(const std::vector<Piece>& pieces, const Groups& group_of, std::size_t group) {
    std::uint32_t used = 0;
    for (std::size_t piece = 0; piece < pieces.size(); ++piece) {
        used += group_of[piece] == group ? pieces[piece].size : 0;
    }
    return used;
}

// How much a trade of places between a and b brings their costs down; 0 where it does not fit.
std::uint64_t plain_gain(const std::vector<Piece>& pieces, const NodeDistances& distances, Groups& group_of,
                         std::size_t a, std::size_t b) {
    const std::uint64_t before = plain_cost(pieces, distances, group_of, a) + plain_cost(pieces, distances, group_of, b);
    std::swap(group_of[a], group_of[b]);
    const bool fits = plain_used(pieces, group_of, group_of[a]) <= kMaxGroupSize &&
                      plain_used(pieces, group_of, group_of[b]) <= kMaxGroupSize;
    const std::uint64_t after = plain_cost(pieces, distances, group_of, a) + plain_cost(pieces, distances, group_of, b);
    std::swap(group_of[a], group_of[b]);
    return fits && before > after ? before - after : 0;
}

void plain_trades(const std::vector<Piece>& pieces, const NodeDistances& distances,
                  const std::vector<std::size_t>& order, Groups& group_of) {
    for (int pass = 0; pass < 10; ++pass) {
        bool traded = false;
        for (const std::size_t a : order) {
            std::size_t best = a;
            std::uint64_t best_gain = 0;
            for (const std::size_t b : order) {
                const std::uint64_t gain = group_of[a] == group_of[b] ? 0 : plain_gain(pieces, distances, group_of, a, b);
                if (gain > best_gain) {
                    best = b;
                    best_gain = gain;
                }
            }
            traded = traded || best != a;
            std::swap(group_of[a], group_of[best]);
        }
        if (!traded) {
            return;
        }
    }
}

std::vector<GroupNumber> plain_assign(const std::vector<Piece>& pieces, const NodeDistances& distances) {
    std::vector<std::size_t> order(pieces.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    Groups group_of;
    const bool one_node = std::all_of(pieces.begin(), pieces.end(), [&](const Piece& p) { return p.node == pieces[0].node; });
    if (one_node) {  // first fit, in cut order
        std::vector<std::uint32_t> used;
        for (const Piece& piece : pieces) {
            std::size_t group = 0;
            while (group < used.size() && used[group] + piece.size > kMaxGroupSize) {
                ++group;
            }
            used.resize(std::max(used.size(), group + 1), 0);
            used[group] += piece.size;
            group_of.push_back(group);
        }
    } else {
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return pieces[a].size > pieces[b].size; });
        for (std::size_t count = 1; group_of.empty(); ++count) {
            group_of = plain_spread(pieces, order, count);
        }
        plain_trades(pieces, distances, order, group_of);
    }
    std::vector<GroupNumber> numbered;
    std::vector<std::size_t> met;
    for (const std::size_t group : group_of) {
        const auto at = std::find(met.begin(), met.end(), group);
        numbered.push_back(static_cast<GroupNumber>(at - met.begin()));
        if (at == met.end()) {
            met.push_back(group);
        }
    }
    return numbered;
}

struct RandomMachines {
    const char* name;
    std::vector<std::uint32_t> sizes;  // a piece's size is one of these
    std::uint32_t max_nodes;
    std::uint32_t max_pieces_per_node;
    enum { kNone, kSymmetric, kOneWay } distances;
    std::uint64_t distinct_distances;  // few: many ties
};

void PrintTo(const RandomMachines& machines, std::ostream* out) { *out << machines.name; }

class AgainstThePlainRule : public testing::TestWithParam<RandomMachines> {};

TEST_P(AgainstThePlainRule, GivesTheSameGroups) {
    const RandomMachines& kind = GetParam();
    std::mt19937 random(20261210);
    const auto below = [&random](std::uint64_t bound) { return std::uniform_int_distribution<std::uint64_t>(0, bound - 1)(random); };
    for (int machine = 0; machine < 300; ++machine) {
        const auto nodes = static_cast<std::uint32_t>(2 + below(kind.max_nodes - 1));
        std::vector<Piece> pieces;
        for (std::uint32_t node = 0; node < nodes; ++node) {
            const std::uint32_t size = kind.sizes[below(kind.sizes.size())];  // a node's cuts are mostly alike
            for (std::uint64_t piece = below(kind.max_pieces_per_node) + 1; piece > 0; --piece) {
                pieces.push_back({node, piece == 1 ? kind.sizes[below(kind.sizes.size())] : size});
            }
        }
        std::vector<std::uint64_t> table(std::size_t{nodes} * nodes, 0);
        for (std::uint32_t from = 0; from < nodes; ++from) {
            for (std::uint32_t to = 0; to < nodes; ++to) {
                const bool mirrored = kind.distances == RandomMachines::kSymmetric && to < from;
                table[from * nodes + to] = from == to ? 0 : mirrored ? table[to * nodes + from] : 128 * (11 + below(kind.distinct_distances));
            }
        }
        const NodeDistances distances = kind.distances == RandomMachines::kNone ? NodeDistances() : NodeDistances(nodes, table);
        ASSERT_EQ(assign_groups(pieces, distances, kNoBootPiece), plain_assign(pieces, distances)) << "machine " << machine;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shortcuts, AgainstThePlainRule,
    testing::Values(RandomMachines{"equal_pieces_no_distances", {8, 16, 22, 43}, 6, 12, RandomMachines::kNone, 1},
                    RandomMachines{"equal_pieces_symmetric", {4, 16, 22, 43, 64}, 6, 10, RandomMachines::kSymmetric, 3},
                    RandomMachines{"equal_pieces_one_way", {4, 16, 22, 43, 64}, 6, 10, RandomMachines::kOneWay, 3},
                    RandomMachines{"many_nodes_symmetric", {1, 12, 20, 30}, 16, 3, RandomMachines::kSymmetric, 40},
                    RandomMachines{"many_nodes_one_way_ties", {1, 12, 20, 30}, 16, 3, RandomMachines::kOneWay, 2},
                    RandomMachines{"single_cpus_and_whole_groups", {1, 64}, 5, 20, RandomMachines::kSymmetric, 4}),
    [](const testing::TestParamInfo<RandomMachines>& p) { return p.param.name; });

// Layouts reported on real Windows machines, as pieces: each node's, cut as
// form_groups cuts them (whole cores of up to 64 CPUs). Without
// distances, as the reports give none.
struct ReportedLayout {
    const char* name;  // and where it was reported
    std::vector<std::vector<std::uint32_t>> pieces_of_nodes;
    std::vector<std::uint32_t> group_sizes;
};

void PrintTo(const ReportedLayout& layout, std::ostream* out) { *out << layout.name; }

class ReportedLayoutTest : public testing::TestWithParam<ReportedLayout> {};

TEST_P(ReportedLayoutTest, IsReproduced) {
    std::vector<Piece> pieces;
    for (std::uint32_t node = 0; node < GetParam().pieces_of_nodes.size(); ++node) {
        for (const std::uint32_t size : GetParam().pieces_of_nodes[node]) {
            pieces.push_back({node, size});
        }
    }
    const std::vector<GroupNumber> group_of = assign_groups(pieces, NodeDistances(), 0);
    std::vector<std::uint32_t> sizes;
    for (std::size_t piece = 0; piece < pieces.size(); ++piece) {
        sizes.resize(std::max<std::size_t>(sizes.size(), group_of[piece] + 1U), 0);
        sizes[group_of[piece]] += pieces[piece].size;
    }
    EXPECT_EQ(sizes, GetParam().group_sizes);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ReportedLayoutTest,
    testing::Values(
        ReportedLayout{"two_nodes_of_72_hwloc_497", {{64, 8}, {64, 8}}, {64, 16, 64}},
        ReportedLayout{"two_nodes_of_80_task_manager_bitmap_pr_4", {{64, 16}, {64, 16}}, {64, 32, 64}},
        ReportedLayout{"node_of_86_process_governor_82", {{64, 22}}, {64, 22}},
        ReportedLayout{"node_of_128_dotnet_runtime_106642", {{64, 64}}, {64, 64}},
        ReportedLayout{"two_nodes_of_128_stockfish_5551", {{64, 64}, {64, 64}}, {64, 64, 64, 64}},
        // Package 1 starts at group 2: two packages of 56 two-thread cores.
        ReportedLayout{"two_packages_of_112_opendcdiag_pr_711", {{64, 48}, {64, 48}}, {64, 48, 64, 48}},
        ReportedLayout{"interleaved_node_of_88_y_cruncher_2", {{64, 24}}, {64, 24}},
        ReportedLayout{"xeon_phi_272_yaneuraou_pr_18", {{64, 64, 64, 64, 16}}, {64, 64, 64, 64, 16}},
        ReportedLayout{"four_nodes_of_20_xmrig_1009", {{20}, {20}, {20}, {20}}, {40, 40}},
        ReportedLayout{"two_nodes_of_44_xmrig_150", {{44}, {44}}, {44, 44}},
        ReportedLayout{"two_nodes_of_52_dotnet_coreclr_13383", {{52}, {52}}, {52, 52}},
        ReportedLayout{"arm64_node_of_112_stl_pr_5459", {{64, 48}}, {64, 48}},
        ReportedLayout{"four_nodes_of_28_stl_pr_5459", {{28}, {28}, {28}, {28}}, {56, 56}},
        ReportedLayout{"two_nodes_of_48_otel_contrib_33339", {{48}, {48}}, {48, 48}},
        ReportedLayout{"four_nodes_of_36_telegraf_7882", {{36}, {36}, {36}, {36}}, {36, 36, 36, 36}},
        ReportedLayout{"four_nodes_of_24_chipsec_955", {{24}, {24}, {24}, {24}}, {48, 48}},
        ReportedLayout{"two_nodes_of_40_ninja_pr_1674", {{40}, {40}}, {40, 40}}),
    [](const testing::TestParamInfo<ReportedLayout>& p) { return p.param.name; });

}  // namespace
}  // namespace procgroups
