// What forming the processor groups costs as machines grow: time, time per CPU
// and files opened, for machines of 2 to 4,096 CPUs in two shapes, and of 256
// and 1,024 one-CPU nodes with a distance table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "fixture_tree.hpp"
#include "open_counter.hpp"
#include "linux_kernel32/processor_groups.hpp"

namespace procgroups {
namespace {

std::string cpu_range(unsigned first, unsigned count) {
    return std::to_string(first) + "-" + std::to_string(first + count - 1);
}

// Nodes of node_size CPUs (fewer in a smaller machine); each CPU a core of its
// own, or cores of two threads in one package and die, listed as a current
// kernel lists them.
MachineShape machine_of(unsigned cpus, unsigned node_size, bool two_thread_cores) {
    const auto listed_core = [pair = cores_of_threads(2), all = cpu_range(0, cpus)](unsigned cpu) {
        CoreOf core = pair(cpu);
        core.package_cpus = all;
        core.die_cpus = all;
        return core;
    };
    MachineShape shape{cpu_range(0, cpus), {}, nullptr};
    if (two_thread_cores) {
        shape.core_of = listed_core;
    }
    for (unsigned first = 0; first < cpus; first += node_size) {
        shape.nodes[static_cast<int>(first / node_size)] = cpu_range(first, std::min(node_size, cpus - first));
    }
    return shape;
}

unsigned cpus_of(const benchmark::State& state) {
    return static_cast<unsigned>(state.range(0));
}

void form_groups(benchmark::State& state, const MachineShape& machine) {
    const unsigned cpus = cpus_of(state);
    const FixtureTree tree;
    write_machine(tree, machine);
    const std::uint64_t opened_before = files_opened();
    for (auto _ : state) {
        const ProcessorGroups groups = form_processor_groups(tree.root().c_str());
        if (groups.error != 0 || groups.online_count != cpus) {
            state.SkipWithError("the fixture did not form");
            break;
        }
        benchmark::DoNotOptimize(groups.group_sizes.data());
    }
    state.counters["files_opened"] = benchmark::Counter(static_cast<double>(files_opened() - opened_before),
                                                        benchmark::Counter::kAvgIterations);
    state.counters["time_per_cpu"] =
        benchmark::Counter(cpus, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void nodes_of_64_or_fewer(benchmark::State& state) {
    form_groups(state, machine_of(cpus_of(state), 64, false));
}

void nodes_of_256_in_two_thread_cores(benchmark::State& state) {
    form_groups(state, machine_of(cpus_of(state), 256, true));
}

// A node per CPU, every pair of nodes at a distance of its own: the most
// pieces in groups of several nodes that a distance table can weigh.
void one_cpu_nodes_with_distances(benchmark::State& state) {
    MachineShape machine = machine_of(cpus_of(state), 1, false);
    machine.distances = scattered_distances(static_cast<int>(cpus_of(state)));
    form_groups(state, machine);
}

BENCHMARK(nodes_of_64_or_fewer)->Arg(2)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(nodes_of_256_in_two_thread_cores)->Arg(2)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(one_cpu_nodes_with_distances)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace procgroups

BENCHMARK_MAIN();
