#pragma once

#include "win32/linux/processor_groups.hpp"
#include "win32/linux/win32_subset.hpp"

namespace procgroups {

// GetActiveProcessorCount and GetProcessGroupAffinity answered from the given
// groups instead of the machine's, with Windows' results and last-error values.
[[nodiscard]] DWORD active_processor_count(const ProcessorGroups& groups, WORD group_number);
[[nodiscard]] BOOL process_group_affinity(const ProcessorGroups& groups, HANDLE process, PUSHORT group_count,
                                          PUSHORT group_array);

}  // namespace procgroups
