#include "linux_kernel32/processor_groups.hpp"

#include <new>

#include "linux_kernel32/win32_error.hpp"
#include "linux_topology/machine_pieces.hpp"

namespace procgroups {

namespace {

// Puts each piece's CPUs in the group the rules gave it.
void place_pieces(const MachinePieces& machine, const std::vector<GroupNumber>& group_of_piece,
                  ProcessorGroups& groups) {
    groups.group_of_cpu.assign(machine.cpu_capacity, kNoGroup);
    auto cpu = machine.piece_cpus.begin();
    for (std::size_t piece = 0; piece < machine.pieces.size(); ++piece) {
        const GroupNumber group = group_of_piece[piece];
        if (groups.group_sizes.size() <= group) {
            groups.group_sizes.resize(std::size_t{group} + 1, 0);
        }
        groups.group_sizes[group] += machine.pieces[piece].size;
        for (const auto end = cpu + machine.pieces[piece].size; cpu != end; ++cpu) {
            groups.group_of_cpu[*cpu] = group;
        }
    }
}

}  // namespace

ProcessorGroups form_processor_groups(const char* sysfs_root) {
    ProcessorGroups groups;
    try {
        MachinePieces machine;
        if (const TopologyError error = read_machine_pieces(sysfs_root, machine); error != kTopologyRead) {
            groups.error = win32_error_from_errno(error);
            return groups;
        }
        groups.online_count = machine.online_count;
        place_pieces(machine, assign_groups(machine.pieces, machine.distances, machine.boot_piece), groups);
    } catch (const std::bad_alloc&) {
        ProcessorGroups unreadable;
        unreadable.error = ERROR_NOT_ENOUGH_MEMORY;
        return unreadable;
    }
    return groups;
}

}  // namespace procgroups
