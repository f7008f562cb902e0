#include "linux_kernel32/group_queries.hpp"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include "linux_topology/cpu_set.hpp"
#include "linux_kernel32/win32_error.hpp"

namespace procgroups {

namespace {

// Beyond this the kernel cannot be refusing the mask for its size.
constexpr std::size_t kMaxAffinityCpus = std::size_t{kMaxCpuNumber} + 1;

struct CpuSetDeleter {
    void operator()(cpu_set_t* set) const { CPU_FREE(set); }
};

// Groups as a set of numbers: the same bitset serves for them as for CPUs.
using GroupSet = CpuSet;

void collect_groups(const ProcessorGroups& groups, const cpu_set_t* mask, std::size_t bytes, GroupSet& members) {
    const std::size_t cpus = std::min(groups.group_of_cpu.size(), bytes * 8);
    for (std::size_t cpu = 0; cpu < cpus; ++cpu) {
        const WORD group = groups.group_of_cpu[cpu];
        if (group != kNoGroup && CPU_ISSET_S(cpu, bytes, mask)) {
            members.add(group);
        }
    }
}

// The groups that hold at least one CPU the calling process may run on.
DWORD groups_of_process(const ProcessorGroups& groups, AffinityFunction affinity, GroupSet& members) {
    cpu_set_t fixed;  // 1,024 CPUs: enough for most machines, without the heap
    if (affinity(0, sizeof(fixed), &fixed) == 0) {
        collect_groups(groups, &fixed, sizeof(fixed), members);
        return kNoError;
    }
    // The kernel refuses a mask smaller than its own CPU count, so grow until it fits.
    int error = errno;
    for (std::size_t cpus = std::size_t{2} * CPU_SETSIZE; error == EINVAL && cpus <= kMaxAffinityCpus; cpus *= 2) {
        const std::unique_ptr<cpu_set_t, CpuSetDeleter> mask(CPU_ALLOC(cpus));
        if (!mask) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        const std::size_t bytes = CPU_ALLOC_SIZE(cpus);
        if (affinity(0, bytes, mask.get()) == 0) {
            collect_groups(groups, mask.get(), bytes, members);
            return kNoError;
        }
        error = errno;
    }
    return win32_error_from_errno(error);
}

}  // namespace

DWORD active_processor_count(const ProcessorGroups& groups, WORD group_number) {
    if (groups.error != kNoError) {
        return failure<DWORD>(groups.error);
    }
    if (group_number == ALL_PROCESSOR_GROUPS) {
        return groups.online_count;
    }
    if (group_number >= groups.group_sizes.size()) {
        return failure<DWORD>(ERROR_INVALID_PARAMETER);
    }
    return groups.group_sizes[group_number];
}

BOOL process_group_affinity(const ProcessorGroups& groups, HANDLE process, PUSHORT group_count,
                            PUSHORT group_array, AffinityFunction affinity) {
    if (process != GetCurrentProcess()) {
        return failure<BOOL>(ERROR_INVALID_HANDLE);
    }
    if (group_count == nullptr) {
        return failure<BOOL>(ERROR_NOACCESS);
    }
    if (groups.error != kNoError) {
        return failure<BOOL>(groups.error);
    }
    GroupSet members;
    try {
        if (const DWORD error = groups_of_process(groups, affinity, members); error != kNoError) {
            return failure<BOOL>(error);
        }
    } catch (const std::bad_alloc&) {
        return failure<BOOL>(ERROR_NOT_ENOUGH_MEMORY);
    }
    const auto needed = static_cast<USHORT>(members.count());
    if (*group_count < needed) {
        *group_count = needed;
        return failure<BOOL>(ERROR_INSUFFICIENT_BUFFER);
    }
    if (needed > 0 && group_array == nullptr) {
        return failure<BOOL>(ERROR_NOACCESS);
    }
    members.for_each([&group_array](std::uint32_t group) { *group_array++ = static_cast<USHORT>(group); });
    *group_count = needed;
    return TRUE;
}

}  // namespace procgroups
