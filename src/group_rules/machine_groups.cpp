#include "machine_groups.hpp"

#include <algorithm>
#include <tuple>

namespace procgroups {

namespace {

// A node's distance to itself, in the scale of the firmware's table.
constexpr std::uint64_t kLocalDistance = 10;

// Windows weighs the kernel's distances by 128. A pair of nodes counts at the
// mean of its two directions, as the firmware may give them differently.
constexpr std::uint64_t kWeightPerDirection = 64;

// The pieces of the machine, and their CPUs piece after piece.
struct Pieces {
    std::vector<Piece> pieces;
    std::vector<std::uint32_t> cpus;
};

// A cut keeps a package, then a die, then a cluster together as far as it
// can; the first CPU orders what the ids do not tell apart. A core caught
// leaving goes after every other core, so that it moves none of them.
auto cut_order(const Core& core) {
    return std::tie(core.leaving, core.package, core.die, core.cluster, core.core_id, core.first_cpu);
}

// Adds the node as one piece, or, over 64 CPUs, cut into runs of whole cores
// in cut order: a piece closes when the next core would not fit.
void add_node(NodeIndex index, Node& node, Pieces& machine) {
    if (node.cpus.size() <= kMaxGroupSize) {
        machine.pieces.push_back({index, static_cast<std::uint32_t>(node.cpus.size())});
        machine.cpus.insert(machine.cpus.end(), node.cpus.begin(), node.cpus.end());
        return;
    }
    std::sort(node.cores.begin(), node.cores.end(), [](const Core& a, const Core& b) { return cut_order(a) < cut_order(b); });
    machine.pieces.push_back({index, 0});
    for (const Core& core : node.cores) {
        if (machine.pieces.back().size + core.size > kMaxGroupSize) {
            machine.pieces.push_back({index, 0});
        }
        machine.pieces.back().size += core.size;
        const auto first = node.cpus.begin() + static_cast<std::ptrdiff_t>(core.first_index);
        machine.cpus.insert(machine.cpus.end(), first, first + core.size);
    }
}

std::size_t piece_holding_boot_cpu(const Pieces& machine) {
    const auto boot_cpu = std::find(machine.cpus.begin(), machine.cpus.end(), kBootCpu);
    std::size_t before_next = 0;
    for (std::size_t piece = 0; piece < machine.pieces.size(); ++piece) {
        before_next += machine.pieces[piece].size;
        if (static_cast<std::size_t>(boot_cpu - machine.cpus.begin()) < before_next) {
            return piece;
        }
    }
    return kNoBootPiece;
}

// A table no firmware may hold (ACPI's SLIT gives 10 from a node to itself
// and no less between nodes) is one Windows does not use.
bool no_firmware_may_hold(const DistanceRows& table) {
    for (std::size_t node = 0; node < table.column_of_node.size(); ++node) {
        if (table.rows[node * table.width + table.column_of_node[node]] != kLocalDistance) {
            return true;
        }
    }
    return std::any_of(table.rows.begin(), table.rows.end(), [](std::uint32_t distance) { return distance < kLocalDistance; });
}

NodeDistances weigh_distances(const DistanceRows& table, std::size_t nodes) {
    const std::size_t listed = table.column_of_node.size();
    if (nodes < 2 || listed == 0 || no_firmware_may_hold(table)) {
        return {};  // every two nodes equally far apart
    }
    const auto kernel_distance = [&table](std::size_t from, std::size_t to) -> std::uint64_t {
        return table.rows[from * table.width + table.column_of_node[to]];
    };
    // The CPUs that no node lists count as farther from every node than any two listed nodes.
    const std::uint64_t unlisted_both_ways = 2 * (std::uint64_t{*std::max_element(table.rows.begin(), table.rows.end())} + 1);
    std::vector<std::uint64_t> weighed(nodes * nodes, 0);
    for (std::size_t from = 0; from < nodes; ++from) {
        for (std::size_t to = from + 1; to < nodes; ++to) {
            const std::uint64_t both_ways =
                to < listed ? kernel_distance(from, to) + kernel_distance(to, from) : unlisted_both_ways;
            weighed[from * nodes + to] = weighed[to * nodes + from] = kWeightPerDirection * both_ways;
        }
    }
    return {static_cast<std::uint32_t>(nodes), std::move(weighed)};
}

void place_cpus(const Pieces& machine, const std::vector<GroupNumber>& group_of_piece, MachineGroups& groups) {
    auto cpu = machine.cpus.begin();
    for (std::size_t piece = 0; piece < machine.pieces.size(); ++piece) {
        const GroupNumber group = group_of_piece[piece];
        if (groups.sizes.size() <= group) {
            groups.sizes.resize(std::size_t{group} + 1, 0);
        }
        groups.sizes[group] += machine.pieces[piece].size;
        for (const auto end = cpu + machine.pieces[piece].size; cpu != end; ++cpu) {
            groups.group_of_cpu[*cpu] = group;
        }
    }
}

}  // namespace

MachineGroups form_groups(Machine& machine) {
    std::size_t online = 0;
    std::uint32_t highest_cpu = 0;
    for (const Node& node : machine.nodes) {
        online += node.cpus.size();
        for (const std::uint32_t cpu : node.cpus) {
            highest_cpu = std::max(highest_cpu, cpu);
        }
    }
    MachineGroups groups;
    groups.group_of_cpu.assign(std::size_t{highest_cpu} + 1, kNoGroupNumber);
    if (online <= kMaxGroupSize) {
        // However the nodes lie, 64 CPUs or fewer make one group.
        groups.sizes.push_back(static_cast<std::uint32_t>(online));
        for (const Node& node : machine.nodes) {
            for (const std::uint32_t cpu : node.cpus) {
                groups.group_of_cpu[cpu] = 0;
            }
        }
        return groups;
    }
    Pieces pieces;
    pieces.cpus.reserve(online);
    for (NodeIndex node = 0; node < machine.nodes.size(); ++node) {
        add_node(node, machine.nodes[node], pieces);
    }
    const NodeDistances distances = weigh_distances(machine.distances, machine.nodes.size());
    place_cpus(pieces, assign_groups(pieces.pieces, distances, piece_holding_boot_cpu(pieces)), groups);
    return groups;
}

}  // namespace procgroups
