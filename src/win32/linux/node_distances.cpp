#include "win32/linux/node_distances.hpp"

#include <algorithm>

namespace procgroups {

namespace {

// A node's distance to itself.
constexpr std::uint32_t kLocalDistance = 10;

// Windows weighs the kernel's distances by 128. A pair of nodes counts at the
// mean of its two directions, as the firmware may give them differently.
constexpr std::uint64_t kWeightPerDirection = 64;

bool no_firmware_may_hold(const std::vector<std::uint32_t>& row, std::uint32_t folder) {
    return row[folder] != kLocalDistance ||
           std::any_of(row.begin(), row.end(), [](std::uint32_t distance) { return distance < kLocalDistance; });
}

}  // namespace

DWORD read_node_distances(const SysfsTree& tree, const std::vector<std::uint32_t>& node_folders,
                          const std::vector<std::uint32_t>& folders_of_nodes, NodeDistances& distances) {
    const auto nodes = static_cast<std::uint32_t>(folders_of_nodes.size());
    if (nodes < 2) {
        return kNoError;
    }
    std::vector<std::uint64_t> table(std::size_t{nodes} * nodes, 0);
    const auto at = [&table, nodes](std::uint32_t from, std::uint32_t to) -> std::uint64_t& {
        return table[std::size_t{from} * nodes + to];
    };
    // Every row is read before any is judged usable: damage is damage wherever it lies.
    bool usable = true;
    std::uint64_t farthest = kLocalDistance;
    std::vector<std::uint32_t> row;
    for (std::uint32_t from = 0; from < nodes; ++from) {
        const std::uint32_t folder = folders_of_nodes[from];
        if (folder == kNoFolder) {
            continue;
        }
        if (const DWORD error = tree.read_numbers(node_file(node_folders[folder], "distance").c_str(), row);
            error != kNoError) {
            if (error == ERROR_INVALID_DATA) {
                return error;
            }
            usable = false;
            continue;
        }
        if (row.size() != node_folders.size()) {
            return ERROR_INVALID_DATA;
        }
        if (no_firmware_may_hold(row, folder)) {
            usable = false;
            continue;
        }
        farthest = std::max<std::uint64_t>(farthest, *std::max_element(row.begin(), row.end()));
        for (std::uint32_t to = 0; to < nodes; ++to) {
            if (folders_of_nodes[to] != kNoFolder) {
                at(from, to) = row[folders_of_nodes[to]];
            }
        }
    }
    if (!usable) {
        return kNoError;
    }
    for (std::uint32_t from = 0; from < nodes; ++from) {
        for (std::uint32_t to = from + 1; to < nodes; ++to) {
            // The CPUs that no node lists count as the farthest from every node.
            const bool unlisted = folders_of_nodes[from] == kNoFolder || folders_of_nodes[to] == kNoFolder;
            const std::uint64_t both_ways = unlisted ? 2 * farthest : at(from, to) + at(to, from);
            at(from, to) = at(to, from) = kWeightPerDirection * both_ways;
        }
        at(from, from) = 0;
    }
    distances = NodeDistances(nodes, std::move(table));
    return kNoError;
}

}  // namespace procgroups
