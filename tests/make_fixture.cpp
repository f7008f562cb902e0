// Writes a machine of a named shape as a sysfs tree: `make_fixture SHAPE FOLDER`.
// The big shapes are the machines processor groups exist for; the hostile ones
// are small trees that claim huge or impossible machines.
#include <array>
#include <cstdio>
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fixture_tree.hpp"
#include "linux_topology/cpu_list.hpp"

namespace procgroups {
namespace {

constexpr unsigned kMaxThreads = 64;

std::string range(unsigned first, unsigned count) {
    return std::to_string(first) + "-" + std::to_string(first + count - 1);
}

// Two packages of 96 two-thread cores, numbered as x86 servers are: the first
// threads of package 0, then of package 1, then the second threads. Each
// package is one node, or four (its cores in quarters) with NUMA distances.
MachineShape two_packages_of_96_cores(unsigned nodes_per_package) {
    constexpr unsigned kCores = 96;
    const auto core_of = [](unsigned cpu) {
        const unsigned first = cpu % (2 * kCores);
        const unsigned package = first / kCores;
        const std::string package_cpus =
            range(package * kCores, kCores) + "," + range(2 * kCores + package * kCores, kCores);
        return CoreOf{std::to_string(first) + "," + std::to_string(first + 2 * kCores), static_cast<int>(package), 0,
                      static_cast<int>(first % kCores), package_cpus, package_cpus};
    };
    MachineShape shape{range(0, 4 * kCores), {}, core_of};
    const unsigned node_cores = kCores / nodes_per_package;
    for (unsigned node = 0; node < 2 * nodes_per_package; ++node) {
        shape.nodes[static_cast<int>(node)] =
            range(node * node_cores, node_cores) + "," + range(2 * kCores + node * node_cores, node_cores);
    }
    if (nodes_per_package > 1) {
        shape.distances = socket_distances(static_cast<int>(2 * nodes_per_package), static_cast<int>(nodes_per_package), 12, 32);
    }
    return shape;
}

// `packages` packages of `dies` dies of `cores` cores of `threads` consecutive
// CPUs, a node per package or `nodes` nodes in all.
MachineShape packages_of(unsigned packages, unsigned dies, unsigned cores, unsigned threads, unsigned nodes = 0) {
    const unsigned die_size = cores * threads;
    const unsigned package_size = dies * die_size;
    const auto core_of = [=](unsigned cpu) {
        const unsigned package = cpu / package_size;
        const unsigned die = cpu / die_size;
        return CoreOf{range(cpu - cpu % threads, threads), static_cast<int>(package), static_cast<int>(die % dies),
                      static_cast<int>(cpu % package_size / threads), range(package * package_size, package_size),
                      range(die * die_size, die_size)};
    };
    nodes = nodes == 0 ? packages : nodes;
    MachineShape shape{range(0, packages * package_size), {}, core_of};
    const unsigned node_size = packages * package_size / nodes;
    for (unsigned node = 0; node < nodes; ++node) {
        shape.nodes[static_cast<int>(node)] = range(node * node_size, node_size);
    }
    return shape;
}

// A CPU list as the kernel's mask files hold it: 32-bit words in hex, the
// highest first, as many as the machine's CPUs need.
std::string mask_of(const std::string& list, unsigned cpus) {
    CpuSet set;
    if (!parse_cpu_list(list, set)) {
        return {};
    }
    std::string mask;
    for (unsigned word = (cpus + 31) / 32; word-- > 0;) {
        unsigned bits = 0;
        for (unsigned bit = 0; bit < 32; ++bit) {
            bits |= set.contains(word * 32 + bit) ? 1U << bit : 0U;
        }
        std::array<char, 9> hex{};
        std::snprintf(hex.data(), hex.size(), "%08x", bits);
        mask += hex.data();
        mask += word > 0 ? "," : "";
    }
    return mask;
}

// The files a machine has beside the lists the tool reads, so that hwloc's
// lstopo discovers the same machine: masks of each CPU's core, package and
// die, and the possible CPUs and nodes.
void write_masks(const FixtureTree& tree, const MachineShape& shape) {
    CpuSet online;
    if (!parse_cpu_list(shape.online, online)) {
        return;
    }
    const unsigned cpus = online.capacity();
    tree.write("cpu/possible", shape.online + "\n");
    tree.write("node/possible", "0-" + std::to_string(shape.nodes.size() - 1) + "\n");
    tree.write("node/online", "0-" + std::to_string(shape.nodes.size() - 1) + "\n");
    for (const auto& [node, cpulist] : shape.nodes) {
        tree.write("node/node" + std::to_string(node) + "/cpumap", mask_of(cpulist, cpus) + "\n");
    }
    online.for_each([&](std::uint32_t cpu) {
        const CoreOf core = shape.core_of(cpu);
        const std::string topology = "cpu/cpu" + std::to_string(cpu) + "/topology/";
        tree.write(topology + "core_cpus", mask_of(core.siblings, cpus) + "\n");
        tree.write(topology + "thread_siblings", mask_of(core.siblings, cpus) + "\n");
        tree.write(topology + "package_cpus", mask_of(core.package_cpus, cpus) + "\n");
        tree.write(topology + "core_siblings", mask_of(core.package_cpus, cpus) + "\n");
        tree.write(topology + "die_cpus", mask_of(core.die_cpus, cpus) + "\n");
    });
}

// A node of 65 CPUs whose CPU 0 lists the siblings given.
void write_siblings_of_cpu0(const FixtureTree& tree, std::string_view siblings) {
    write_machine(tree, {"0-64", {{0, "0-64"}}, {}});
    tree.write("cpu/cpu0/topology/core_cpus_list", siblings);
}

// Two nodes of `blocks` blocks each: a core of `first` threads, then one of
// `second`, which cannot join it; a core of one thread has no topology folder,
// so it is a core of its own. That is 4 * blocks pieces, in a file for each
// core of several threads and three more.
void write_alternating_cores(const FixtureTree& tree, unsigned blocks, unsigned first, unsigned second) {
    const unsigned block = first + second;
    const unsigned node_size = blocks * block;
    tree.write("cpu/online", range(0, 2 * node_size) + "\n");
    for (unsigned node = 0; node < 2; ++node) {
        tree.write("node/node" + std::to_string(node) + "/cpulist", range(node * node_size, node_size) + "\n");
    }
    for (unsigned start = 0; start < 2 * node_size; start += block) {
        for (const auto& [cpu, threads] : {std::pair{start, first}, std::pair{start + first, second}}) {
            if (threads > 1) {
                tree.write("cpu/cpu" + std::to_string(cpu) + "/topology/core_cpus_list", range(cpu, threads) + "\n");
            }
        }
    }
}

// Two nodes of `cpus` / 2, one of the even CPUs and one of the odd: node
// lists of every other number, each CPU a core of its own in one package,
// listed as current kernels list it.
MachineShape interleaved_nodes(unsigned cpus) {
    const auto core_of = [all = range(0, cpus)](unsigned cpu) {
        return CoreOf{std::to_string(cpu), 0, 0, static_cast<int>(cpu), all, all};
    };
    return {range(0, cpus), {{0, every_nth_cpu(0, cpus, 2)}, {1, every_nth_cpu(1, cpus, 2)}}, core_of};
}

// `nodes` nodes of 680 CPUs in cores of 33 to 48 threads, sizes turning
// with the node: no two cores fit in a group, so each is a piece and a group.
MachineShape nodes_cut_into_cores_of_33_to_48(unsigned nodes) {
    constexpr unsigned kNodeSize = 680;
    std::vector<unsigned> core_first(nodes * kNodeSize);
    MachineShape shape{range(0, nodes * kNodeSize), {}, nullptr};
    for (unsigned node = 0; node < nodes; ++node) {
        const unsigned first = node * kNodeSize;
        shape.nodes[static_cast<int>(node)] = range(first, kNodeSize);
        for (unsigned start = first, core = 0; start < first + kNodeSize; ++core) {
            const unsigned size = std::min(33 + (core * 7 + node) % 16, first + kNodeSize - start);
            std::fill_n(core_first.begin() + start, size, start);
            start += size;
        }
    }
    shape.core_of = [core_first, end = nodes * kNodeSize](unsigned cpu) {
        const unsigned first = core_first[cpu];
        const auto last = static_cast<unsigned>(std::find_if(core_first.begin() + cpu, core_first.end(),
                                                             [first](unsigned f) { return f != first; }) -
                                                core_first.begin());
        return CoreOf{range(first, std::min(last, end) - first), 0, 0, static_cast<int>(first)};
    };
    return shape;
}

// `nodes` nodes of 64 CPUs, half of them in each socket.
MachineShape two_sockets_of_nodes_of_64(unsigned nodes) {
    MachineShape shape = nodes_of_sizes(std::vector<unsigned>(nodes, 64));
    shape.distances = socket_distances(static_cast<int>(nodes), static_cast<int>(nodes / 2), 12, 32);
    return shape;
}

MachineShape nodes_of_8_with_distances(unsigned nodes) {
    MachineShape shape = nodes_of_sizes(std::vector<unsigned>(nodes, 8));
    shape.distances = scattered_distances(static_cast<int>(nodes));
    return shape;
}

// Shapes named with a count at their end, such as nodes_of_8_with_distances_1024.
std::optional<MachineShape> counted_shape(std::string_view shape) {
    const std::pair<std::string_view, MachineShape (*)(unsigned)> builders[] = {
        {"nodes_of_8_with_distances_", nodes_of_8_with_distances},
        {"two_sockets_of_nodes_of_64_", two_sockets_of_nodes_of_64},
        {"interleaved_nodes_", interleaved_nodes},
        {"nodes_cut_into_cores_of_33_to_48_", nodes_cut_into_cores_of_33_to_48},
    };
    for (const auto& [prefix, build] : builders) {
        std::string_view digits = shape.substr(std::min(prefix.size(), shape.size()));
        std::uint32_t count = 0;
        if (shape.starts_with(prefix) && take_decimal(digits, kMaxCpuNumber + 1, count) && digits.empty() && count > 0) {
            return build(count);
        }
    }
    return std::nullopt;
}

int write_shape(std::string_view shape, const FixtureTree& tree) {
    const std::map<std::string_view, MachineShape> machines = {
        {"two_nodes_of_192", two_packages_of_96_cores(1)},
        {"eight_nodes_of_48", two_packages_of_96_cores(4)},
        {"node_of_20_eight_thread_cores", packages_of(1, 1, 20, 8)},
        {"eight_packages_of_120_two_dies", packages_of(8, 2, 30, 2)},
        {"cpus_4096", packages_of(2, 1, 1024, 2, 16)},
    };
    if (const auto machine = machines.find(shape); machine != machines.end()) {
        write_machine(tree, machine->second);
        write_masks(tree, machine->second);
    } else if (const std::optional<MachineShape> counted = counted_shape(shape)) {
        write_machine(tree, *counted);
    } else if (shape == "online_only_1048576") {
        tree.write("cpu/online", "0-1048575\n");
    } else if (shape == "two_nodes_of_half_a_million") {
        // 16,385 pieces in 16,384 groups, one of them of several nodes.
        tree.write("cpu/online", "0-1048575\n");
        tree.write("node/node0/cpulist", "0-524287\n");
        tree.write("node/node1/cpulist", "524288-1048570\n");
    } else if (shape == "huge_sibling_list") {
        write_siblings_of_cpu0(tree, "0-999999\n");
    } else if (shape == "siblings_without_itself") {
        write_siblings_of_cpu0(tree, "1-2\n");
    } else if (shape == "node_1024") {
        write_machine(tree, nodes_of_sizes({33, 33}));
        tree.write("node/node1024/cpulist", "\n");
    } else if (shape == "nodes_1024_of_20") {
        write_machine(tree, nodes_of_sizes(std::vector<unsigned>(1024, 20)));
    } else if (shape == "cpu_folder_8192") {
        write_machine(tree, nodes_of_sizes({65}));  // a node to cut, without topology: cpu/ is listed
        tree.write("cpu/cpu8192/online", "1\n");
    } else if (shape == "sibling_8192") {
        write_siblings_of_cpu0(tree, "0,8192\n");
    } else if (shape == "nodes_1024_of_1_with_distances") {
        MachineShape nodes = nodes_of_sizes(std::vector<unsigned>(1024, 1));
        nodes.distances = scattered_distances(1024);
        write_machine(tree, nodes);
    } else if (shape == "pieces_4000_in_two_nodes") {
        write_alternating_cores(tree, 2000, 1, kMaxThreads);  // half of them single CPUs
    } else if (shape == "pieces_of_22_and_43_16000") {
        write_alternating_cores(tree, 4000, 22, 43);
    } else if (shape == "pieces_of_22_and_43_in_8190") {
        // Two pieces of 22 fit in a group, and no bound short of packing them counts that.
        write_alternating_cores(tree, 63, 22, 43);
    } else if (shape == "pieces_of_1_and_64_in_8190") {
        write_alternating_cores(tree, 63, 1, kMaxThreads);
    } else {
        std::fprintf(stderr, "make_fixture: no shape %.*s\n", static_cast<int>(shape.size()), shape.data());
        return 2;
    }
    return 0;
}

}  // namespace
}  // namespace procgroups

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fixture SHAPE FOLDER\n");
        return 2;
    }
    return procgroups::write_shape(argv[1], procgroups::FixtureTree(argv[2]));
}
