#include "win32/linux/group_queries.hpp"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <vector>

#include "win32/linux/sysfs.hpp"

namespace procgroups {

namespace {

// Beyond this the kernel cannot be refusing the mask for its size.
constexpr std::size_t kMaxAffinityCpus = std::size_t{kMaxCpuNumber} + 1;

struct CpuSetDeleter {
    void operator()(cpu_set_t* set) const { CPU_FREE(set); }
};

// The groups that hold at least one CPU the calling process may run on, ascending.
DWORD groups_of_process(const ProcessorGroups& groups, std::vector<WORD>& numbers) {
    // The kernel refuses a mask smaller than its own CPU count, so grow until it fits.
    for (std::size_t cpus = std::max<std::size_t>(1024, groups.group_of_cpu.size());; cpus *= 2) {
        const std::unique_ptr<cpu_set_t, CpuSetDeleter> mask(CPU_ALLOC(cpus));
        if (!mask) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        const std::size_t bytes = CPU_ALLOC_SIZE(cpus);
        if (::sched_getaffinity(0, bytes, mask.get()) != 0) {
            if (errno == EINVAL && cpus < kMaxAffinityCpus) {
                continue;
            }
            return win32_error_from_errno(errno);
        }
        std::vector<bool> member(groups.group_sizes.size());
        for (std::size_t cpu = 0; cpu < groups.group_of_cpu.size(); ++cpu) {
            const WORD group = groups.group_of_cpu[cpu];
            if (group != kNoGroup && CPU_ISSET_S(cpu, bytes, mask.get())) {
                member[group] = true;
            }
        }
        for (std::size_t group = 0; group < member.size(); ++group) {
            if (member[group]) {
                numbers.push_back(static_cast<WORD>(group));
            }
        }
        return kNoError;
    }
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

DWORD no_processors(DWORD error) {
    SetLastError(error);
    return 0;
}

}  // namespace

DWORD active_processor_count(const ProcessorGroups& groups, WORD group_number) {
    if (groups.error != kNoError) {
        return no_processors(groups.error);
    }
    if (group_number == ALL_PROCESSOR_GROUPS) {
        return groups.online_count;
    }
    if (group_number >= groups.group_sizes.size()) {
        return no_processors(ERROR_INVALID_PARAMETER);
    }
    return groups.group_sizes[group_number];
}

BOOL process_group_affinity(const ProcessorGroups& groups, HANDLE process, PUSHORT group_count,
                            PUSHORT group_array) {
    if (process != GetCurrentProcess()) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (group_count == nullptr) {
        return fail(ERROR_NOACCESS);
    }
    if (groups.error != kNoError) {
        return fail(groups.error);
    }
    std::vector<WORD> numbers;
    try {
        if (const DWORD error = groups_of_process(groups, numbers); error != kNoError) {
            return fail(error);
        }
    } catch (const std::bad_alloc&) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    const auto needed = static_cast<USHORT>(numbers.size());
    if (*group_count < needed) {
        *group_count = needed;
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (needed > 0 && group_array == nullptr) {
        return fail(ERROR_NOACCESS);
    }
    std::copy(numbers.begin(), numbers.end(), group_array);
    *group_count = needed;
    return TRUE;
}

}  // namespace procgroups
