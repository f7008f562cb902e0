#include "linux_kernel32/processor_groups.hpp"

#include <new>
#include <utility>

#include "linux_kernel32/win32_error.hpp"
#include "linux_topology/machine_reader.hpp"

namespace procgroups {

ProcessorGroups form_processor_groups(const char* sysfs_root) {
    ProcessorGroups groups;
    try {
        Machine machine;
        if (const TopologyError error = read_machine(sysfs_root, machine); error != kTopologyRead) {
            groups.error = win32_error_from_errno(error);
            return groups;
        }
        MachineGroups formed = form_groups(machine);
        for (const DWORD size : formed.sizes) {
            groups.online_count += size;
        }
        groups.group_sizes = std::move(formed.sizes);
        groups.group_of_cpu = std::move(formed.group_of_cpu);
    } catch (const std::bad_alloc&) {
        ProcessorGroups unreadable;
        unreadable.error = ERROR_NOT_ENOUGH_MEMORY;
        return unreadable;
    }
    return groups;
}

}  // namespace procgroups
