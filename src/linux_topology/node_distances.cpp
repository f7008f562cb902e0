#include "linux_topology/node_distances.hpp"

#include <algorithm>
#include <limits>
#include <string_view>

namespace procgroups {

namespace {

// A node's distance to itself.
constexpr std::uint32_t kLocalDistance = 10;

// Windows weighs the kernel's distances by 128. A pair of nodes counts at the
// mean of its two directions, as the firmware may give them differently.
constexpr std::uint64_t kWeightPerDirection = 64;

bool no_firmware_may_hold(const std::vector<std::uint32_t>& row, NodeColumn own_column) {
    return row[own_column] != kLocalDistance ||
           std::any_of(row.begin(), row.end(), [](std::uint32_t distance) { return distance < kLocalDistance; });
}

// A row as drivers/base/node.c writes it: one distance for each node folder,
// in folder order, each but node 0's after a blank. Where node 0 is offline
// (a POWER partition whose node 0 has neither CPUs nor memory) the row starts
// with a blank.
bool parse_distance_row(std::string_view text, const std::vector<NodeNumber>& node_numbers,
                        std::vector<std::uint32_t>& row) {
    row.clear();
    for (const NodeNumber node : node_numbers) {
        if (node != 0) {
            if (!text.starts_with(' ')) {
                return false;
            }
            text.remove_prefix(1);
        }
        std::uint32_t distance = 0;
        if (!take_decimal(text, std::numeric_limits<std::uint32_t>::max(), distance)) {
            return false;
        }
        row.push_back(distance);
    }
    return text.empty();
}

}  // namespace

TopologyError read_node_distances(const SysfsTree& tree, const std::vector<NodeNumber>& node_numbers,
                                  const std::vector<NodeColumn>& columns_of_nodes, NodeDistances& distances) {
    const auto nodes = static_cast<NodeIndex>(columns_of_nodes.size());
    if (nodes < 2) {
        return kTopologyRead;
    }
    std::vector<std::uint64_t> table(std::size_t{nodes} * nodes, 0);
    const auto at = [&table, nodes](NodeIndex from, NodeIndex to) -> std::uint64_t& {
        return table[std::size_t{from} * nodes + to];
    };
    // Every row is read before any is judged usable: damage is damage wherever it lies.
    bool usable = true;
    std::uint64_t farthest = kLocalDistance;
    std::vector<std::uint32_t> row;
    for (NodeIndex from = 0; from < nodes; ++from) {
        const NodeColumn column = columns_of_nodes[from];
        if (column == kNoColumn) {
            continue;
        }
        const auto parse_row = [&node_numbers, &row](std::string_view text) {
            return parse_distance_row(text, node_numbers, row);
        };
        if (const TopologyError error = tree.read_line(node_file(node_numbers[column], "distance").c_str(), parse_row);
            error != kTopologyRead) {
            if (error == kDamaged) {
                return error;
            }
            usable = false;
            continue;
        }
        if (no_firmware_may_hold(row, column)) {
            usable = false;
            continue;
        }
        farthest = std::max<std::uint64_t>(farthest, *std::max_element(row.begin(), row.end()));
        for (NodeIndex to = 0; to < nodes; ++to) {
            if (columns_of_nodes[to] != kNoColumn) {
                at(from, to) = row[columns_of_nodes[to]];
            }
        }
    }
    if (!usable) {
        return kTopologyRead;
    }
    for (NodeIndex from = 0; from < nodes; ++from) {
        for (NodeIndex to = from + 1; to < nodes; ++to) {
            // The CPUs that no node lists count as the farthest from every node.
            const bool unlisted = columns_of_nodes[from] == kNoColumn || columns_of_nodes[to] == kNoColumn;
            const std::uint64_t both_ways = unlisted ? 2 * farthest : at(from, to) + at(to, from);
            at(from, to) = at(to, from) = kWeightPerDirection * both_ways;
        }
        at(from, from) = 0;
    }
    distances = NodeDistances(nodes, std::move(table));
    return kTopologyRead;
}

}  // namespace procgroups
