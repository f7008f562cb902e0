#include "linux_topology/node_distances.hpp"

#include <algorithm>
#include <limits>
#include <string_view>

namespace procgroups {

namespace {

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

}  // namespace

TopologyError read_node_distances(const SysfsTree& tree, const std::vector<NodeNumber>& node_folders,
                                  const std::vector<NodeNumber>& number_of_node, DistanceRows& rows) {
    const std::size_t listed =
        number_of_node.size() - static_cast<std::size_t>(!number_of_node.empty() && number_of_node.back() == kNoNodeNumber);
    if (number_of_node.size() < 2 || listed == 0) {
        return kTopologyRead;
    }
    std::vector<NodeNumber> columns;
    if (const TopologyError error = read_columns(tree, node_folders, columns); error != kTopologyRead) {
        return error;
    }
    // Each node's column; a node with CPUs that is not online has none, and the table none.
    DistanceRows table{columns.size(), std::vector<std::size_t>(listed), {}};
    bool usable = !columns.empty();
    for (std::size_t node = 0; node < listed && usable; ++node) {
        const auto found = std::lower_bound(columns.begin(), columns.end(), number_of_node[node]);
        usable = found != columns.end() && *found == number_of_node[node];
        table.column_of_node[node] = static_cast<std::size_t>(found - columns.begin());
    }
    table.rows.reserve(listed * columns.size());
    // Every row is read before any is judged usable: damage is damage wherever it lies.
    DistanceRow row;
    for (std::size_t node = 0; node < listed; ++node) {
        const auto parse_row = [&row](std::string_view text) { return parse_distance_row(text, row); };
        const TopologyError error = tree.read_line(node_file(number_of_node[node], "distance").c_str(), parse_row);
        if (error == kDamaged) {
            return error;
        }
        usable = usable && error == kTopologyRead && fits(row, columns);
        if (usable) {
            table.rows.insert(table.rows.end(), row.distances.begin(), row.distances.end());
        }
    }
    if (usable) {
        rows = std::move(table);
    }
    return kTopologyRead;
}

}  // namespace procgroups
