#pragma once

#include <sched.h>

#include <cstddef>

#include "linux_kernel32/processor_groups.hpp"
#include "linux_kernel32/win32_subset.hpp"

namespace procgroups {

// Where the process's CPU mask comes from: ::sched_getaffinity, or a stand-in
// that a test controls.
using AffinityFunction = int (*)(pid_t pid, std::size_t size, cpu_set_t* mask);

// GetActiveProcessorCount and GetProcessGroupAffinity answered from the given
// groups instead of the machine's, with Windows' results and last-error values.
[[nodiscard]] DWORD active_processor_count(const ProcessorGroups& groups, WORD group_number);
[[nodiscard]] BOOL process_group_affinity(const ProcessorGroups& groups, HANDLE process, PUSHORT group_count,
                                          PUSHORT group_array, AffinityFunction affinity = ::sched_getaffinity);

}  // namespace procgroups
