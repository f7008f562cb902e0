#include "win32/linux/processor_groups.hpp"

#include <algorithm>
#include <new>
#include <tuple>

#include "win32/linux/cpu_set.hpp"
#include "win32/linux/sysfs.hpp"

namespace procgroups {

namespace {

// One core of a node being cut: what orders it, and where its sibling CPUs stand
// in the node's list of CPUs by core.
struct Core {
    std::int64_t package = 0;
    std::int64_t die = 0;
    std::int64_t core_id = 0;
    std::uint32_t first_cpu = 0;
    std::uint32_t size = 0;
    std::size_t first_index = 0;

    [[nodiscard]] auto order() const { return std::tie(package, die, core_id, first_cpu); }
};

// The cores of a node, each core's CPUs kept together in one list rather than
// in a list of its own: a node may have thousands of cores.
struct NodeCores {
    std::vector<Core> cores;
    std::vector<std::uint32_t> cpus;
};

std::vector<std::uint32_t> cpus_of(const CpuSet& set) {
    std::vector<std::uint32_t> cpus;
    set.for_each([&cpus](std::uint32_t cpu) { cpus.push_back(cpu); });
    return cpus;
}

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

        std::vector<std::uint32_t> nodes;
        if (const DWORD error = tree_.list_numa_nodes(nodes); error != kNoError) {
            return error;
        }
        for (const std::uint32_t node : nodes) {
            CpuSet node_cpus;
            RelativePath path;
            path << "node/node" << node << "/cpulist";
            if (const DWORD error = tree_.read_cpu_list(path.c_str(), node_cpus); error != kNoError) {
                return error;
            }
            node_cpus.keep_only(unplaced);
            unplaced.remove_all(node_cpus);
            if (const DWORD error = add_node(node_cpus); error != kNoError) {
                return error;
            }
        }
        return add_node(unplaced);  // online CPUs that no node lists
    }

private:
    DWORD add_node(const CpuSet& node_cpus) {
        if (const DWORD size = node_cpus.count(); size <= kMaxGroupSize) {
            if (size > 0) {
                const WORD group = first_fit(size);
                node_cpus.for_each([this, group](std::uint32_t cpu) { groups_.group_of_cpu[cpu] = group; });
            }
            return kNoError;
        }
        NodeCores node;
        if (const DWORD error = read_cores(node_cpus, node); error != kNoError) {
            return error;
        }
        auto& cores = node.cores;
        std::sort(cores.begin(), cores.end(), [](const Core& a, const Core& b) { return a.order() < b.order(); });
        // Deal the cores out in order; a piece closes when the next core would not fit.
        auto piece_begin = cores.begin();
        DWORD piece_size = 0;
        const auto close_piece = [&](std::vector<Core>::const_iterator piece_end) {
            const WORD group = first_fit(piece_size);
            for (auto core = piece_begin; core != piece_end; ++core) {
                for (std::size_t index = core->first_index; index < core->first_index + core->size; ++index) {
                    groups_.group_of_cpu[node.cpus[index]] = group;
                }
            }
        };
        for (auto core = cores.begin(); core != cores.end(); ++core) {
            if (piece_size + core->size > kMaxGroupSize) {
                close_piece(core);
                piece_begin = core;
                piece_size = 0;
            }
            piece_size += core->size;
        }
        close_piece(cores.end());
        return kNoError;
    }

    // Reads the topology once per core: for the first CPU of each sibling set.
    DWORD read_cores(CpuSet unassigned, NodeCores& node) const {
        for (const std::uint32_t cpu : cpus_of(unassigned)) {
            if (!unassigned.contains(cpu)) {
                continue;  // a sibling of a core already read
            }
            Core core;
            core.first_cpu = cpu;
            if (const DWORD error = read_core(cpu, unassigned, core, node.cpus); error != kNoError) {
                return error;
            }
            node.cores.push_back(core);
        }
        return kNoError;
    }

    // Takes the CPU and its siblings still unassigned in the node, so that each
    // core's work is proportional to its own size, not to the machine's.
    DWORD read_core(std::uint32_t cpu, CpuSet& unassigned, Core& core, std::vector<std::uint32_t>& cpus) const {
        const auto topology = [cpu](std::string_view file) {
            RelativePath path;
            path << "cpu/cpu" << cpu << "/topology/" << file;
            return path;
        };
        core.first_index = cpus.size();
        core.size = 1;
        unassigned.remove(cpu);
        cpus.push_back(cpu);
        const auto take_siblings = [&](std::uint32_t first, std::uint32_t last) {
            const std::uint32_t end = std::min(last, unassigned.capacity() - 1);
            for (std::uint32_t sibling = first; sibling <= end; ++sibling) {
                if (unassigned.contains(sibling)) {
                    if (++core.size > kMaxGroupSize) {
                        return false;  // no core has that many threads
                    }
                    unassigned.remove(sibling);
                    cpus.push_back(sibling);
                }
            }
            return true;
        };
        DWORD error = tree_.read_cpu_ranges(topology("core_cpus_list").c_str(), take_siblings);
        if (error == ERROR_FILE_NOT_FOUND) {
            error = tree_.read_cpu_ranges(topology("thread_siblings_list").c_str(), take_siblings);
        }
        if (error != kNoError && error != ERROR_FILE_NOT_FOUND) {
            return error;
        }
        for (const auto& [name, id] : {std::pair{"physical_package_id", &core.package},
                                        std::pair{"die_id", &core.die}, std::pair{"core_id", &core.core_id}}) {
            if (const DWORD id_error = tree_.read_topology_id(topology(name).c_str(), *id); id_error != kNoError) {
                return id_error;
            }
        }
        return kNoError;
    }

    // The lowest-numbered group with room for a whole piece of that size, or a new
    // one. First fit leaves at most one group half empty, so the CPU number limit
    // keeps the group count far below ALL_PROCESSOR_GROUPS.
    WORD first_fit(DWORD size) {
        auto& sizes = groups_.group_sizes;
        const auto fits = std::find_if(sizes.begin(), sizes.end(),
                                       [size](DWORD used) { return used + size <= kMaxGroupSize; });
        const auto group = static_cast<WORD>(fits - sizes.begin());
        if (fits == sizes.end()) {
            sizes.push_back(size);
        } else {
            *fits += size;
        }
        return group;
    }

    SysfsTree tree_;
    ProcessorGroups& groups_;
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
