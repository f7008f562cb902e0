#pragma once

#include <cstdint>
#include <vector>

#include "group_rules/machine_groups.hpp"
#include "linux_kernel32/win32_subset.hpp"

namespace procgroups {

inline constexpr WORD kNoGroup = kNoGroupNumber;

// The processor groups Windows would form at boot on the machine that a sysfs
// tree describes.
struct ProcessorGroups {
    // Why the topology could not be read, as a Win32 code; 0 when it was.
    DWORD error = 0;
    DWORD online_count = 0;
    std::vector<DWORD> group_sizes;
    // Indexed by CPU number; kNoGroup for CPUs that are not online.
    std::vector<WORD> group_of_cpu;
};

// Forms the groups from the tree below sysfs_root (/sys/devices/system on a
// running machine), as form_groups does.
[[nodiscard]] ProcessorGroups form_processor_groups(const char* sysfs_root);

}  // namespace procgroups
