#include "linux_topology/cores.hpp"

#include <algorithm>
#include <limits>
#include <tuple>

namespace procgroups {

namespace {

// The id of a CPU that lacks a level's id file while others have it: its core
// goes after every core whose id is known. The kernel removes a folder's files
// one by one as a CPU goes offline, and a CPU caught half way must not move
// the cores of the others.
constexpr std::int64_t kUnknownId = std::numeric_limits<std::int64_t>::max();

// More threads than any processor runs on a core (POWER's eight are the most),
// and as many as a group holds, so that every core fits in one.
constexpr std::uint32_t kMaxThreadsPerCore = 64;
static_assert(kMaxThreadsPerCore <= kMaxGroupSize);

RelativePath topology_file(std::uint32_t cpu, std::string_view file) {
    RelativePath path;
    path << "cpu/cpu" << cpu << "/topology/" << file;
    return path;
}

// Reads a CPU list file of the topology, trying its older name where the
// kernel lacks the newer one.
template <typename TakeRange>
TopologyError read_topology_list(const SysfsTree& tree, std::uint32_t cpu, const char* file, const char* older_file,
                                 TakeRange take_range) {
    const TopologyError error = tree.read_cpu_ranges(topology_file(cpu, file).c_str(), take_range);
    if (error != ENOENT || older_file == nullptr) {
        return error;
    }
    return tree.read_cpu_ranges(topology_file(cpu, older_file).c_str(), take_range);
}

// Whether two cores of a die share a core id. On arm64 booted from a device
// tree core_id starts again at 0 in each cluster; x86 counts its cores within
// the package, POWER by their first CPU, and ACPI's ids are offsets into the
// firmware's table.
bool core_ids_repeat(const std::vector<Core>& cores) {
    std::vector<std::tuple<std::int64_t, std::int64_t, std::int64_t>> ids;
    ids.reserve(cores.size());
    for (const Core& core : cores) {
        if (!core.leaving) {
            ids.emplace_back(core.package, core.die, core.core_id);
        }
    }
    std::sort(ids.begin(), ids.end());
    return std::adjacent_find(ids.begin(), ids.end()) != ids.end();
}

}  // namespace

TopologyError CoreReader::read_node(const CpuSet& node_cpus, Node& node) {
    CpuSet unassigned = node_cpus;
    TopologyError error = kTopologyRead;
    node_cpus.for_each([&](std::uint32_t cpu) {
        if (error != kTopologyRead || !unassigned.contains(cpu)) {
            return;  // a sibling of a core already read
        }
        Core core;
        error = read_core(cpu, unassigned, core, node.cpus);
        node.cores.push_back(core);
    });
    for (Core& core : node.cores) {
        settle_unknown_id(package_, core.first_cpu, core.package);
        settle_unknown_id(die_, core.first_cpu, core.die);
    }
    if (error != kTopologyRead || !core_ids_repeat(node.cores)) {
        return error;
    }
    return read_clusters(node.cores);
}

// Read only where core ids repeat: x86 writes a cluster for every core, and
// its files would cost two more reads per core on every big machine.
TopologyError CoreReader::read_clusters(std::vector<Core>& cores) {
    for (Core& core : cores) {
        if (!core.leaving) {
            if (const TopologyError error = read_level_id(core.first_cpu, cluster_, core.cluster, core.leaving);
                error != kTopologyRead) {
                return error;
            }
        }
    }
    for (Core& core : cores) {
        settle_unknown_id(cluster_, core.first_cpu, core.cluster);
    }
    return kTopologyRead;
}

// Takes the CPU and its siblings still unassigned in the node. A core lists
// itself among at most kMaxThreadsPerCore threads, so each core's work is
// bounded by the file.
TopologyError CoreReader::read_core(std::uint32_t cpu, CpuSet& unassigned, Core& core, std::vector<std::uint32_t>& cpus) {
    core.first_cpu = cpu;
    core.package = core.die = kUnknownId;
    core.first_index = cpus.size();
    core.size = 1;
    unassigned.remove(cpu);
    cpus.push_back(cpu);
    if (listed_ && !with_folder_.contains(cpu)) {
        return kTopologyRead;  // a kernel without topology: a core of its own
    }
    std::uint32_t listed = 0;
    bool lists_itself = false;
    const auto take_siblings = [&](std::uint32_t first, std::uint32_t last) {
        listed += last - first + 1;
        if (listed > kMaxThreadsPerCore) {
            return false;
        }
        for (std::uint32_t sibling = first; sibling <= last; ++sibling) {
            lists_itself = lists_itself || sibling == cpu;
            if (unassigned.contains(sibling)) {
                ++core.size;
                unassigned.remove(sibling);
                cpus.push_back(sibling);
            }
        }
        return true;
    };
    const TopologyError error = read_topology_list(tree_, cpu, "core_cpus_list", "thread_siblings_list", take_siblings);
    if (error == ENOENT) {
        // No topology: a core of its own. One listing of cpu/ then spares the
        // other CPUs their failed opens, however many cpu/online claims.
        if (!listed_) {
            listed_ = true;
            return tree_.list_cpu_folders(with_folder_);
        }
        return kTopologyRead;
    }
    if (error != kTopologyRead) {
        return error;
    }
    // A CPU going offline has its lists emptied first (x86's remove_siblinginfo,
    // POWER's remove_cpu_from_masks), then its id files removed, then the
    // folder: a run may meet it in cpu/online and its node's list, and empty here.
    if (listed == 0) {
        core.leaving = true;
        return kTopologyRead;
    }
    if (!lists_itself) {
        return kDamaged;
    }
    // A machine that does not report a level counts it as id 0.
    if (const TopologyError id_error = tree_.read_topology_id(topology_file(cpu, "core_id").c_str(), core.core_id);
        id_error != kTopologyRead && id_error != ENOENT) {
        return id_error;
    }
    if (const TopologyError package_error = read_level_id(cpu, package_, core.package, core.leaving);
        package_error != kTopologyRead) {
        return package_error;
    }
    return read_level_id(cpu, die_, core.die, core.leaving);
}

// The CPU's id at that level: known from an earlier CPU's list, or read with
// the level's list, which gives the id to every CPU it holds. Where the kernel
// has no list, the id is read for this CPU alone. A CPU without the id file
// gets kUnknownId, settled once the node is read; one whose list is empty is
// leaving. The kernel takes CPUs offline one at a time, so a second CPU
// without it, where none had it, is a kernel that does not report the level:
// it is not looked for again.
TopologyError CoreReader::read_level_id(std::uint32_t cpu, Level& level, std::int64_t& id, bool& leaving) {
    if (level.known.contains(cpu)) {
        id = level.id_of_cpu[cpu];
        return kTopologyRead;
    }
    if (level.unreported) {
        return kTopologyRead;
    }
    const TopologyError id_error = tree_.read_topology_id(topology_file(cpu, level.id_file).c_str(), id);
    if (id_error == ENOENT) {
        id = kUnknownId;
        level.unreported = !level.seen && ++level.lacking == 2;
        return kTopologyRead;
    }
    if (id_error != kTopologyRead) {
        return id_error;
    }
    level.seen = true;
    if (level.unlisted) {
        return kTopologyRead;
    }
    CpuSet members;
    const TopologyError error = read_topology_list(tree_, cpu, level.list_file, level.older_list_file, adding_to(members));
    level.unlisted = error == ENOENT;
    if (error != kTopologyRead) {
        return level.unlisted ? kTopologyRead : error;
    }
    if (members.empty()) {
        leaving = true;
        return kTopologyRead;
    }
    if (!members.contains(cpu)) {
        return kDamaged;
    }
    members.remove_all(level.known);
    level.known.add_all(members);
    level.id_of_cpu.resize(std::max<std::size_t>(level.id_of_cpu.size(), members.capacity()));
    members.for_each([&level, id](std::uint32_t member) { level.id_of_cpu[member] = id; });
    return kTopologyRead;
}

// An id a CPU lacked: given by a list read after it, 0 where the machine
// reports the level for no CPU, else left to sort last.
void CoreReader::settle_unknown_id(const Level& level, std::uint32_t cpu, std::int64_t& id) {
    if (id != kUnknownId) {
        return;
    }
    if (level.known.contains(cpu)) {
        id = level.id_of_cpu[cpu];
    } else if (!level.seen) {
        id = 0;
    }
}

}  // namespace procgroups
