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

// The nodes a distance row has a column for, ascending: drivers/base/node.c
// writes one entry for each online node (node/online). A node is set online
// before its folder is made and offline before its folder goes, so while
// memory comes or goes the rows and the folders differ by a node; trees
// captured without node/online have the folders.
TopologyError read_columns(const SysfsTree& tree, const std::vector<NodeNumber>& node_folders,
                           std::vector<NodeNumber>& columns) {
    const TopologyError error = tree.read_cpu_ranges("node/online", [&columns](std::uint32_t first, std::uint32_t last) {
        if (last > kMaxNodeNumber) {
            return false;
        }
        for (std::uint32_t node = first; node <= last; ++node) {
            columns.push_back(NodeNumber{node});
        }
        return true;
    });
    if (error == ENOENT) {
        columns = node_folders;
        return kTopologyRead;
    }
    return error;
}

// A row as the kernel writes it: distances apart by one blank, with a blank
// before the first where node 0 is offline (a POWER partition whose node 0
// has neither CPUs nor memory). Anything else is damage.
struct DistanceRow {
    bool after_blank = false;
    std::vector<std::uint32_t> distances;
};

bool parse_distance_row(std::string_view text, DistanceRow& row) {
    row.distances.clear();
    row.after_blank = text.starts_with(' ');
    if (row.after_blank) {
        text.remove_prefix(1);
    }
    for (;;) {
        std::uint32_t distance = 0;
        if (!take_decimal(text, std::numeric_limits<std::uint32_t>::max(), distance)) {
            return false;
        }
        row.distances.push_back(distance);
        if (text.empty()) {
            return true;
        }
        if (text.front() != ' ') {
            return false;
        }
        text.remove_prefix(1);
    }
}

// Whether the row was written for these columns, rather than for the nodes
// online a moment before or after they were read.
bool fits(const DistanceRow& row, const std::vector<NodeNumber>& columns) {
    return row.distances.size() == columns.size() && row.after_blank == (columns.front() != NodeNumber{0});
}

bool no_firmware_may_hold(const std::vector<std::uint32_t>& row, std::size_t own_column) {
    return row[own_column] != kLocalDistance ||
           std::any_of(row.begin(), row.end(), [](std::uint32_t distance) { return distance < kLocalDistance; });
}

}  // namespace

TopologyError read_node_distances(const SysfsTree& tree, const std::vector<NodeNumber>& node_folders,
                                  const std::vector<NodeNumber>& number_of_node, NodeDistances& distances) {
    const auto nodes = static_cast<NodeIndex>(number_of_node.size());
    if (nodes < 2) {
        return kTopologyRead;
    }
    std::vector<NodeNumber> columns;
    if (const TopologyError error = read_columns(tree, node_folders, columns); error != kTopologyRead) {
        return error;
    }
    // Each node's column; a node with CPUs that is not online has none, and the table none.
    constexpr std::size_t kNoColumn = ~std::size_t{0};
    bool usable = !columns.empty();
    std::vector<std::size_t> column_of(nodes, kNoColumn);
    for (NodeIndex node = 0; node < nodes && usable; ++node) {
        if (number_of_node[node] != kNoNodeNumber) {
            const auto found = std::lower_bound(columns.begin(), columns.end(), number_of_node[node]);
            usable = found != columns.end() && *found == number_of_node[node];
            column_of[node] = static_cast<std::size_t>(found - columns.begin());
        }
    }
    std::vector<std::uint64_t> table(std::size_t{nodes} * nodes, 0);
    const auto at = [&table, nodes](NodeIndex from, NodeIndex to) -> std::uint64_t& {
        return table[std::size_t{from} * nodes + to];
    };
    // Every row is read before any is judged usable: damage is damage wherever it lies.
    std::uint64_t farthest = kLocalDistance;
    DistanceRow row;
    for (NodeIndex from = 0; from < nodes; ++from) {
        if (number_of_node[from] == kNoNodeNumber) {
            continue;
        }
        const auto parse_row = [&row](std::string_view text) { return parse_distance_row(text, row); };
        if (const TopologyError error = tree.read_line(node_file(number_of_node[from], "distance").c_str(), parse_row);
            error != kTopologyRead) {
            if (error == kDamaged) {
                return error;
            }
            usable = false;
            continue;
        }
        if (!usable || !fits(row, columns) || no_firmware_may_hold(row.distances, column_of[from])) {
            usable = false;
            continue;
        }
        farthest = std::max<std::uint64_t>(farthest, *std::max_element(row.distances.begin(), row.distances.end()));
        for (NodeIndex to = 0; to < nodes; ++to) {
            if (column_of[to] != kNoColumn) {
                at(from, to) = row.distances[column_of[to]];
            }
        }
    }
    if (!usable) {
        return kTopologyRead;
    }
    for (NodeIndex from = 0; from < nodes; ++from) {
        for (NodeIndex to = from + 1; to < nodes; ++to) {
            // The CPUs that no node lists count as farther from every node than any two listed nodes.
            const bool unlisted = column_of[from] == kNoColumn || column_of[to] == kNoColumn;
            const std::uint64_t both_ways = unlisted ? 2 * (farthest + 1) : at(from, to) + at(to, from);
            at(from, to) = at(to, from) = kWeightPerDirection * both_ways;
        }
        at(from, from) = 0;
    }
    distances = NodeDistances(nodes, std::move(table));
    return kTopologyRead;
}

}  // namespace procgroups
