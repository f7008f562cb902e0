#pragma once

#include <cstdint>
#include <vector>

#include "group_rules/machine_groups.hpp"
#include "linux_topology/cpu_set.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {

// Reads the cores of nodes over 64 CPUs from their CPUs' topology folders: two
// files per core (its siblings and core_id), and the package and die of all
// their CPUs at once from one CPU's id and list, where the kernel has the
// lists; the clusters too where core ids repeat within a die.
class CoreReader {
public:
    explicit CoreReader(const SysfsTree& tree) : tree_(tree) {}

    // The node's cores, with its CPUs core after core.
    [[nodiscard]] TopologyError read_node(const CpuSet& node_cpus, Node& node);

private:
    // A level of the topology above the core that the kernel lists whole.
    struct Level {
        const char* id_file;
        const char* list_file;
        const char* older_list_file;  // its name on kernels before list_file
        CpuSet known;
        std::vector<std::int64_t> id_of_cpu;
        bool unlisted = false;    // the kernel has no list file for it
        bool unreported = false;  // nor an id file
        bool seen = false;        // some CPU has the id file
        int lacking = 0;          // CPUs read that have not
    };

    [[nodiscard]] TopologyError read_core(std::uint32_t cpu, CpuSet& unassigned, Core& core, std::vector<std::uint32_t>& cpus);
    [[nodiscard]] TopologyError read_clusters(std::vector<Core>& cores);
    [[nodiscard]] TopologyError read_level_id(std::uint32_t cpu, Level& level, std::int64_t& id, bool& leaving);
    static void settle_unknown_id(const Level& level, std::uint32_t cpu, std::int64_t& id);

    const SysfsTree& tree_;
    bool listed_ = false;  // with_folder_ read, once the first CPU without topology was met
    CpuSet with_folder_;   // the CPUs that have a cpu/cpuN folder
    Level package_{"physical_package_id", "package_cpus_list", "core_siblings_list", {}, {}};
    Level die_{"die_id", "die_cpus_list", nullptr, {}, {}};
    Level cluster_{"cluster_id", "cluster_cpus_list", nullptr, {}, {}};
};

}  // namespace procgroups
