#include "fixture_tree.hpp"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "linux_topology/cpu_list.hpp"

namespace procgroups {

FixtureTree::FixtureTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "procgroups-sysfs-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    root_ = pattern;
}

FixtureTree::~FixtureTree() {
    if (!owned_) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void FixtureTree::write(const std::string& relative_path, std::string_view content) const {
    const std::filesystem::path path = std::filesystem::path(root_) / relative_path;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::function<CoreOf(unsigned)> cores_of_threads(unsigned threads) {
    return [threads](unsigned cpu) {
        const unsigned first = cpu - cpu % threads;
        const std::string siblings = std::to_string(first) + "-" + std::to_string(first + threads - 1);
        return CoreOf{.siblings = siblings, .core = static_cast<int>(cpu / threads)};
    };
}

MachineShape nodes_of_sizes(const std::vector<unsigned>& sizes, std::function<CoreOf(unsigned)> core_of) {
    MachineShape shape{{}, {}, std::move(core_of), {}};
    unsigned first = 0;
    for (const unsigned size : sizes) {
        shape.nodes[static_cast<int>(shape.nodes.size())] = std::to_string(first) + "-" + std::to_string(first + size - 1);
        first += size;
    }
    shape.online = "0-" + std::to_string(first - 1);
    return shape;
}

std::string every_nth_cpu(unsigned first, unsigned end, unsigned step) {
    std::string list;
    for (unsigned cpu = first; cpu < end; cpu += step) {
        if (cpu != first) {
            list += ',';
        }
        list += std::to_string(cpu);
    }
    return list;
}

std::map<int, std::string> socket_distances(int nodes, int per_socket, int near, int far) {
    std::map<int, std::string> lines;
    for (int from = 0; from < nodes; ++from) {
        std::string& line = lines[from];
        for (int to = 0; to < nodes; ++to) {
            const int distance = from == to ? 10 : from / per_socket == to / per_socket ? near : far;
            if (to > 0) {
                line += ' ';
            }
            line += std::to_string(distance);
        }
    }
    return lines;
}

std::map<int, std::string> scattered_distances(int nodes) {
    std::vector<int> distance(static_cast<std::size_t>(nodes) * static_cast<std::size_t>(nodes), 10);
    std::uint32_t state = 12345;
    const auto at = [&](int from, int to) -> int& { return distance[static_cast<std::size_t>(from * nodes + to)]; };
    for (int from = 0; from < nodes; ++from) {
        for (int to = from + 1; to < nodes; ++to) {
            state = state * 1103515245U + 12345U;
            at(from, to) = at(to, from) = 11 + static_cast<int>((state >> 16) % 245);
        }
    }
    std::map<int, std::string> lines;
    for (int from = 0; from < nodes; ++from) {
        std::string& line = lines[from];
        for (int to = 0; to < nodes; ++to) {
            if (to > 0) {
                line += ' ';
            }
            line += std::to_string(at(from, to));
        }
    }
    return lines;
}

void write_machine(const FixtureTree& tree, const MachineShape& shape) {
    tree.write("cpu/online", shape.online + "\n");
    for (const auto& [node, cpulist] : shape.nodes) {
        tree.write("node/node" + std::to_string(node) + "/cpulist", cpulist + "\n");
    }
    for (const auto& [node, line] : shape.distances) {
        tree.write("node/node" + std::to_string(node) + "/distance", line + "\n");
    }
    if (!shape.core_of) {
        return;
    }
    CpuSet online;
    if (!parse_cpu_list(shape.online, online)) {
        throw std::invalid_argument("bad online list in a machine shape");
    }
    online.for_each([&](std::uint32_t cpu) {
        const CoreOf core = shape.core_of(cpu);
        const std::string topology = "cpu/cpu" + std::to_string(cpu) + "/topology/";
        tree.write(topology + "core_cpus_list", core.siblings + "\n");
        tree.write(topology + "physical_package_id", std::to_string(core.package) + "\n");
        tree.write(topology + "die_id", std::to_string(core.die) + "\n");
        tree.write(topology + "core_id", std::to_string(core.core) + "\n");
        for (const auto& [file, cpus] : {std::pair{"package_cpus_list", &core.package_cpus},
                                         std::pair{"die_cpus_list", &core.die_cpus}}) {
            if (!cpus->empty()) {
                tree.write(topology + file, *cpus + "\n");
            }
        }
    });
}

}  // namespace procgroups
