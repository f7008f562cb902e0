#include "linux_topology/machine_pieces.hpp"

#include <algorithm>

#include "linux_topology/cores.hpp"
#include "linux_topology/cpu_set.hpp"
#include "linux_topology/node_distances.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {

namespace {

class PieceReader {
public:
    PieceReader(const char* sysfs_root, MachinePieces& machine) : tree_(sysfs_root), machine_(machine) {}

    TopologyError read() {
        if (tree_.open_error() != kTopologyRead) {
            return tree_.open_error();
        }
        // The online CPUs that no node has taken yet.
        CpuSet unplaced;
        if (const TopologyError error = tree_.read_cpu_list("cpu/online", unplaced); error != kTopologyRead) {
            return error;
        }
        if (unplaced.empty()) {
            return kDamaged;  // the process itself runs on some CPU
        }
        machine_.online_count = unplaced.count();
        machine_.cpu_capacity = unplaced.capacity();
        if (const TopologyError error = tree_.list_numa_nodes(node_folders_); error != kTopologyRead) {
            return error;
        }
        if (machine_.online_count <= kMaxGroupSize) {
            return read_as_one_piece(unplaced);
        }
        for (const NodeNumber number : node_folders_) {
            CpuSet node_cpus;
            const RelativePath cpulist = node_file(number, "cpulist");
            if (const TopologyError error = tree_.read_cpu_list(cpulist.c_str(), node_cpus); error != kTopologyRead) {
                return error;
            }
            node_cpus.keep_only(unplaced);
            unplaced.remove_all(node_cpus);
            if (const TopologyError error = add_node(node_cpus, number); error != kTopologyRead) {
                return error;
            }
        }
        // Online CPUs that no node lists make a node of their own.
        if (const TopologyError error = add_node(unplaced, kNoNodeNumber); error != kTopologyRead) {
            return error;
        }
        // Only a machine of more than 64 CPUs gets here: distances are read for it alone.
        return read_node_distances(tree_, node_folders_, number_of_node_, machine_.distances);
    }

private:
    // However the nodes lie, 64 CPUs or fewer make one group. Their lists are
    // still read, as damage there is damage on any machine.
    TopologyError read_as_one_piece(const CpuSet& online) {
        for (const NodeNumber node : node_folders_) {
            const auto any_range = [](std::uint32_t /*first*/, std::uint32_t /*last*/) { return true; };
            if (const TopologyError error = tree_.read_cpu_ranges(node_file(node, "cpulist").c_str(), any_range);
                error != kTopologyRead) {
                return error;
            }
        }
        machine_.pieces.push_back({0, machine_.online_count});
        machine_.piece_cpus.reserve(machine_.online_count);
        online.for_each([this](std::uint32_t cpu) { machine_.piece_cpus.push_back(cpu); });
        return kTopologyRead;
    }

    // Adds the node's CPUs as pieces: the whole node, or cuts of whole cores.
    TopologyError add_node(const CpuSet& node_cpus, NodeNumber number) {
        const std::uint32_t size = node_cpus.count();
        if (size == 0) {
            return kTopologyRead;
        }
        const auto node = static_cast<NodeIndex>(number_of_node_.size());
        number_of_node_.push_back(number);
        if (size <= kMaxGroupSize) {
            machine_.pieces.push_back({node, size});
            node_cpus.for_each([this](std::uint32_t cpu) { machine_.piece_cpus.push_back(cpu); });
            return kTopologyRead;
        }
        NodeCores cores;
        if (const TopologyError error = core_reader_.read_node(node_cpus, cores); error != kTopologyRead) {
            return error;
        }
        // Deal the cores out in order; a piece closes when the next core would not fit.
        machine_.pieces.push_back({node, 0});
        for (const Core& core : cores.cores) {
            if (machine_.pieces.back().size + core.size > kMaxGroupSize) {
                machine_.pieces.push_back({node, 0});
            }
            machine_.pieces.back().size += core.size;
            const auto first = cores.cpus.begin() + static_cast<std::ptrdiff_t>(core.first_index);
            machine_.piece_cpus.insert(machine_.piece_cpus.end(), first, first + core.size);
        }
        return kTopologyRead;
    }

    SysfsTree tree_;
    CoreReader core_reader_{tree_};
    MachinePieces& machine_;
    std::vector<NodeNumber> node_folders_;    // the K of each node/nodeK folder, ascending
    std::vector<NodeNumber> number_of_node_;  // by node index; kNoNodeNumber for the CPUs no node lists
};

// Linux boots on CPU 0, which arm64 and POWER can take offline later.
std::size_t piece_holding_cpu_0(const MachinePieces& machine) {
    auto cpu = machine.piece_cpus.begin();
    for (std::size_t piece = 0; piece < machine.pieces.size(); ++piece) {
        const auto end = cpu + machine.pieces[piece].size;
        if (std::find(cpu, end, 0U) != end) {
            return piece;
        }
        cpu = end;
    }
    return kNoBootPiece;
}

}  // namespace

TopologyError read_machine_pieces(const char* sysfs_root, MachinePieces& machine) {
    const TopologyError error = PieceReader(sysfs_root, machine).read();
    if (error == kTopologyRead) {
        machine.boot_piece = piece_holding_cpu_0(machine);
    }
    return error;
}

}  // namespace procgroups
