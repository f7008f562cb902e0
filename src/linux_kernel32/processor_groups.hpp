#pragma once

#include <cstdint>
#include <vector>

#include "linux_kernel32/win32_subset.hpp"

namespace procgroups {

inline constexpr WORD kNoGroup = 0xffff;

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
// running machine): online CPUs node by node, nodes over 64 CPUs cut at core
// boundaries, the pieces assigned to groups as assign_groups does.
[[nodiscard]] ProcessorGroups form_processor_groups(const char* sysfs_root);

}  // namespace procgroups
