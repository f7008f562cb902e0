#include "win32/linux/processor_groups.hpp"

#include <algorithm>
#include <new>
#include <tuple>

#include "win32/linux/cpu_set.hpp"
#include "win32/linux/sysfs.hpp"

namespace procgroups {

namespace {

// Sibling CPUs of one core, with what orders cores when a node is cut.
struct Core {
    std::int64_t package = 0;
    std::int64_t die = 0;
    std::int64_t core_id = 0;
    std::uint32_t first_cpu = 0;
    std::vector<std::uint32_t> cpus;

    [[nodiscard]] auto order() const { return std::tie(package, die, core_id, first_cpu); }
};

std::vector<std::uint32_t> cpus_of(const CpuSet& set) {
    std::vector<std::uint32_t> cpus;
    set.for_each([&cpus](std::uint32_t cpu) { cpus.push_back(cpu); });
    return cpus;
}

class GroupFormer {
public:
    GroupFormer(std::string sysfs_root, ProcessorGroups& groups)
        : root_(std::move(sysfs_root)), groups_(groups) {}

    DWORD form() {
        CpuSet online;
        if (const DWORD error = read_cpu_list(root_ + "/cpu/online", online); error != kNoError) {
            return error;
        }
        if (online.empty()) {
            return ERROR_INVALID_DATA;  // the process itself runs on some CPU
        }
        groups_.online_count = online.count();
        groups_.group_of_cpu.assign(online.capacity(), kNoGroup);

        std::vector<std::uint32_t> nodes;
        if (const DWORD error = list_numa_nodes(root_ + "/node", nodes); error != kNoError) {
            return error;
        }
        CpuSet placed;
        for (const std::uint32_t node : nodes) {
            CpuSet node_cpus;
            const std::string path = root_ + "/node/node" + std::to_string(node) + "/cpulist";
            if (const DWORD error = read_cpu_list(path, node_cpus); error != kNoError) {
                return error;
            }
            node_cpus.keep_only(online);
            node_cpus.remove_all(placed);
            placed.add_all(node_cpus);
            if (const DWORD error = add_node(node_cpus); error != kNoError) {
                return error;
            }
        }
        online.remove_all(placed);
        return add_node(online);  // online CPUs that no node lists
    }

private:
    DWORD add_node(const CpuSet& node_cpus) {
        if (node_cpus.count() <= kMaxGroupSize) {
            if (!node_cpus.empty()) {
                place_piece(cpus_of(node_cpus));
            }
            return kNoError;
        }
        std::vector<Core> cores;
        if (const DWORD error = read_cores(node_cpus, cores); error != kNoError) {
            return error;
        }
        std::sort(cores.begin(), cores.end(),
                  [](const Core& a, const Core& b) { return a.order() < b.order(); });
        std::vector<std::uint32_t> piece;
        for (const Core& core : cores) {
            if (piece.size() + core.cpus.size() > kMaxGroupSize) {
                place_piece(piece);
                piece.clear();
            }
            piece.insert(piece.end(), core.cpus.begin(), core.cpus.end());
        }
        place_piece(piece);
        return kNoError;
    }

    // Reads the topology once per core: for the first CPU of each sibling set.
    DWORD read_cores(CpuSet unassigned, std::vector<Core>& cores) const {
        for (const std::uint32_t cpu : cpus_of(unassigned)) {
            if (!unassigned.contains(cpu)) {
                continue;  // a sibling of a core already read
            }
            Core core;
            core.first_cpu = cpu;
            if (const DWORD error = read_core(cpu, unassigned, core); error != kNoError) {
                return error;
            }
            cores.push_back(std::move(core));
        }
        return kNoError;
    }

    DWORD read_core(std::uint32_t cpu, CpuSet& unassigned, Core& core) const {
        const std::string topology = root_ + "/cpu/cpu" + std::to_string(cpu) + "/topology/";
        CpuSet siblings;
        DWORD error = read_cpu_list(topology + "core_cpus_list", siblings);
        if (error == ERROR_FILE_NOT_FOUND) {
            error = read_cpu_list(topology + "thread_siblings_list", siblings);
        }
        if (error != kNoError && error != ERROR_FILE_NOT_FOUND) {
            return error;
        }
        siblings.add(cpu);
        siblings.keep_only(unassigned);
        if (siblings.count() > kMaxGroupSize) {
            return ERROR_INVALID_DATA;  // no core has that many threads
        }
        unassigned.remove_all(siblings);
        core.cpus = cpus_of(siblings);
        for (const auto& [name, id] : {std::pair{"physical_package_id", &core.package},
                                        std::pair{"die_id", &core.die}, std::pair{"core_id", &core.core_id}}) {
            if (const DWORD id_error = read_topology_id(topology + name, *id); id_error != kNoError) {
                return id_error;
            }
        }
        return kNoError;
    }

    // First fit: the lowest-numbered group with room for the whole piece, or a new one.
    // First fit leaves at most one group half empty, so the CPU number limit keeps
    // the group count far below ALL_PROCESSOR_GROUPS.
    void place_piece(const std::vector<std::uint32_t>& piece) {
        const auto size = static_cast<DWORD>(piece.size());
        auto& sizes = groups_.group_sizes;
        const auto fits = std::find_if(sizes.begin(), sizes.end(),
                                       [size](DWORD used) { return used + size <= kMaxGroupSize; });
        const auto group = static_cast<WORD>(fits - sizes.begin());
        if (fits == sizes.end()) {
            sizes.push_back(size);
        } else {
            *fits += size;
        }
        for (const std::uint32_t cpu : piece) {
            groups_.group_of_cpu[cpu] = group;
        }
    }

    std::string root_;
    ProcessorGroups& groups_;
};

}  // namespace

ProcessorGroups form_processor_groups(const std::string& sysfs_root) {
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
