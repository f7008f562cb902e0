#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace procgroups {

// A folder shaped like /sys/devices/system: in a temporary place, removed with
// the object, or in a folder given, which stays.
class FixtureTree {
public:
    FixtureTree();
    explicit FixtureTree(std::string root) : root_(std::move(root)), owned_(false) {}
    FixtureTree(const FixtureTree&) = delete;
    FixtureTree& operator=(const FixtureTree&) = delete;
    ~FixtureTree();

    [[nodiscard]] const std::string& root() const { return root_; }
    // Writes a file below the root, making the folders on its way.
    void write(const std::string& relative_path, std::string_view content) const;

private:
    std::string root_;
    bool owned_ = true;
};

// How the kernel would describe one CPU's core, and the CPUs of its package
// and die where the kernel lists them (left out when empty).
struct CoreOf {
    std::string siblings;  // core_cpus_list
    int package = 0;
    int die = 0;
    int core = 0;
    std::string package_cpus{};
    std::string die_cpus{};
};

// A machine in a few words: its online CPUs, each node's cpulist by node number
// (none: a kernel without NUMA), the core of each online CPU, and each node's
// line of NUMA distances.
struct MachineShape {
    std::string online;
    std::map<int, std::string> nodes;
    std::function<CoreOf(unsigned cpu)> core_of;
    std::map<int, std::string> distances{};
};

// Cores of `threads` consecutive CPUs, numbered in order, in package 0.
std::function<CoreOf(unsigned)> cores_of_threads(unsigned threads);

// Nodes 0, 1, ... holding consecutive CPUs from 0, of the sizes given, all online.
MachineShape nodes_of_sizes(const std::vector<unsigned>& sizes, std::function<CoreOf(unsigned)> core_of = nullptr);

// CPUs first, first + step, ... below end, as a list of single numbers.
std::string every_nth_cpu(unsigned first, unsigned end, unsigned step);

// The distance lines of `nodes` nodes in sockets of `per_socket` consecutive
// nodes: 10 to itself, `near` within its socket, `far` across.
std::map<int, std::string> socket_distances(int nodes, int per_socket, int near, int far);

// The distance lines of `nodes` nodes, each pair at its own distance of 11 to
// 255, the same both ways, from a fixed seed.
std::map<int, std::string> scattered_distances(int nodes);

void write_machine(const FixtureTree& tree, const MachineShape& shape);

}  // namespace procgroups
