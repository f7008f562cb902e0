#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace procgroups {

// A folder shaped like /sys/devices/system in a temporary place, removed with the object.
class FixtureTree {
public:
    FixtureTree();
    FixtureTree(const FixtureTree&) = delete;
    FixtureTree& operator=(const FixtureTree&) = delete;
    ~FixtureTree();

    [[nodiscard]] const std::string& root() const { return root_; }
    // Writes a file below the root, making the folders on its way.
    void write(const std::string& relative_path, std::string_view content) const;

private:
    std::string root_;
};

// How the kernel would describe one CPU's core.
struct CoreOf {
    std::string siblings;  // core_cpus_list
    int package = 0;
    int die = 0;
    int core = 0;
};

// A machine in a few words: its online CPUs, each node's cpulist by node number
// (none: a kernel without NUMA), and the core of each online CPU.
struct MachineShape {
    std::string online;
    std::map<int, std::string> nodes;
    std::function<CoreOf(unsigned cpu)> core_of;
};

// Cores of `threads` consecutive CPUs, numbered in order, in package 0.
std::function<CoreOf(unsigned)> cores_of_threads(unsigned threads);

void write_machine(const FixtureTree& tree, const MachineShape& shape);

}  // namespace procgroups
