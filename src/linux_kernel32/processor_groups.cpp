#include "linux_kernel32/processor_groups.hpp"

#include <new>

#include "linux_topology/cores.hpp"
#include "linux_topology/cpu_set.hpp"
#include "linux_topology/node_distances.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {

namespace {

class GroupFormer {
public:
    GroupFormer(const char* sysfs_root, ProcessorGroups& groups) : tree_(sysfs_root), groups_(groups) {}

    DWORD form() {
        if (tree_.open_error() != kNoError) {
            return tree_.open_error();
        }
        // The online CPUs that no node has taken yet.
        CpuSet unplaced;
        if (const DWORD error = tree_.read_cpu_list("cpu/online", unplaced); error != kNoError) {
            return error;
        }
        if (unplaced.empty()) {
            return ERROR_INVALID_DATA;  // the process itself runs on some CPU
        }
        groups_.online_count = unplaced.count();
        groups_.group_of_cpu.assign(unplaced.capacity(), kNoGroup);

        if (const DWORD error = tree_.list_numa_nodes(node_folders_); error != kNoError) {
            return error;
        }
        if (groups_.online_count <= kMaxGroupSize) {
            return form_one_group(unplaced);
        }
        for (std::uint32_t folder = 0; folder < node_folders_.size(); ++folder) {
            CpuSet node_cpus;
            const RelativePath cpulist = node_file(node_folders_[folder], "cpulist");
            if (const DWORD error = tree_.read_cpu_list(cpulist.c_str(), node_cpus); error != kNoError) {
                return error;
            }
            node_cpus.keep_only(unplaced);
            unplaced.remove_all(node_cpus);
            if (const DWORD error = add_node(node_cpus, folder); error != kNoError) {
                return error;
            }
        }
        // Online CPUs that no node lists make a node of their own.
        if (const DWORD error = add_node(unplaced, kNoFolder); error != kNoError) {
            return error;
        }
        // Only a machine of more than 64 CPUs gets here: distances are read for it alone.
        NodeDistances distances;
        if (const DWORD error = read_node_distances(tree_, node_folders_, folders_of_nodes_, distances);
            error != kNoError) {
            return error;
        }
        place_pieces(assign_groups(pieces_, distances));
        return kNoError;
    }

private:
    // However the nodes lie, 64 CPUs or fewer make one group. Their lists are
    // still read, as damage there is damage on any machine.
    DWORD form_one_group(const CpuSet& online) {
        for (const std::uint32_t node : node_folders_) {
            const auto any_range = [](std::uint32_t /*first*/, std::uint32_t /*last*/) { return true; };
            if (const DWORD error = tree_.read_cpu_ranges(node_file(node, "cpulist").c_str(), any_range);
                error != kNoError) {
                return error;
            }
        }
        groups_.group_sizes.assign(1, groups_.online_count);
        online.for_each([this](std::uint32_t cpu) { groups_.group_of_cpu[cpu] = 0; });
        return kNoError;
    }

    // Adds the node's CPUs as pieces: the whole node, or cuts of whole cores.
    DWORD add_node(const CpuSet& node_cpus, std::uint32_t folder) {
        const DWORD size = node_cpus.count();
        if (size == 0) {
            return kNoError;
        }
        const auto node = static_cast<std::uint32_t>(folders_of_nodes_.size());
        folders_of_nodes_.push_back(folder);
        if (size <= kMaxGroupSize) {
            pieces_.push_back({node, size});
            node_cpus.for_each([this](std::uint32_t cpu) { piece_cpus_.push_back(cpu); });
            return kNoError;
        }
        NodeCores cores;
        if (const DWORD error = core_reader_.read_node(node_cpus, cores); error != kNoError) {
            return error;
        }
        // Deal the cores out in order; a piece closes when the next core would not fit.
        pieces_.push_back({node, 0});
        for (const Core& core : cores.cores) {
            if (pieces_.back().size + core.size > kMaxGroupSize) {
                pieces_.push_back({node, 0});
            }
            pieces_.back().size += core.size;
            const auto first = cores.cpus.begin() + static_cast<std::ptrdiff_t>(core.first_index);
            piece_cpus_.insert(piece_cpus_.end(), first, first + core.size);
        }
        return kNoError;
    }

    void place_pieces(const std::vector<WORD>& group_of_piece) {
        auto cpu = piece_cpus_.begin();
        for (std::size_t piece = 0; piece < pieces_.size(); ++piece) {
            const WORD group = group_of_piece[piece];
            if (groups_.group_sizes.size() <= group) {
                groups_.group_sizes.resize(std::size_t{group} + 1, 0);
            }
            groups_.group_sizes[group] += pieces_[piece].size;
            for (const auto end = cpu + pieces_[piece].size; cpu != end; ++cpu) {
                groups_.group_of_cpu[*cpu] = group;
            }
        }
    }

    SysfsTree tree_;
    CoreReader core_reader_{tree_};
    ProcessorGroups& groups_;
    // The numbers K of the node/nodeK folders, ascending.
    std::vector<std::uint32_t> node_folders_;
    // For each node that has online CPUs, in order, its place among the
    // folders; kNoFolder for the CPUs that no node lists.
    std::vector<std::uint32_t> folders_of_nodes_;
    std::vector<Piece> pieces_;
    // The CPUs of every piece, piece after piece.
    std::vector<std::uint32_t> piece_cpus_;
};

}  // namespace

ProcessorGroups form_processor_groups(const char* sysfs_root) {
    ProcessorGroups groups;
    try {
        groups.error = GroupFormer(sysfs_root, groups).form();
    } catch (const std::bad_alloc&) {
        groups.error = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (groups.error != kNoError) {
        ProcessorGroups unreadable;
        unreadable.error = groups.error;
        return unreadable;
    }
    return groups;
}

}  // namespace procgroups
