#include "linux_topology/machine_reader.hpp"

#include "linux_topology/cores.hpp"
#include "linux_topology/cpu_set.hpp"
#include "linux_topology/node_distances.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {

namespace {

class MachineReader {
public:
    MachineReader(const char* sysfs_root, Machine& machine) : tree_(sysfs_root), machine_(machine) {}

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
        if (const TopologyError error = tree_.list_numa_nodes(node_folders_); error != kTopologyRead) {
            return error;
        }
        const bool big_machine = unplaced.count() > kMaxGroupSize;
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
        if (!big_machine) {
            return kTopologyRead;
        }
        return read_node_distances(tree_, node_folders_, number_of_node_, machine_.distances);
    }

private:
    // Adds the node's CPUs, and its cores where it is cut.
    TopologyError add_node(const CpuSet& node_cpus, NodeNumber number) {
        if (node_cpus.empty()) {
            return kTopologyRead;
        }
        number_of_node_.push_back(number);
        Node& node = machine_.nodes.emplace_back();
        if (node_cpus.count() > kMaxGroupSize) {
            return core_reader_.read_node(node_cpus, node);
        }
        node.cpus.reserve(node_cpus.count());
        node_cpus.for_each([&node](std::uint32_t cpu) { node.cpus.push_back(cpu); });
        return kTopologyRead;
    }

    SysfsTree tree_;
    CoreReader core_reader_{tree_};
    Machine& machine_;
    std::vector<NodeNumber> node_folders_;    // the K of each node/nodeK folder, ascending
    std::vector<NodeNumber> number_of_node_;  // by node index; kNoNodeNumber for the CPUs no node lists
};

}  // namespace

TopologyError read_machine(const char* sysfs_root, Machine& machine) {
    return MachineReader(sysfs_root, machine).read();
}

}  // namespace procgroups
