#include "tool/report.hpp"

namespace procgroups {

namespace {

// "%x" takes an unsigned int, and a DWORD is an unsigned long on Windows.
unsigned as_unsigned_int(DWORD error) {
    return static_cast<unsigned>(error);
}

}  // namespace

int run_report(const SystemQueries& queries, OutputWriter& out) {
    const DWORD total = queries.GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (total == 0) {
        const DWORD error = queries.GetLastError();
        out.print("GetActiveProcessorCount failed with error: %x\n", as_unsigned_int(error));
        return 1;
    }

    // The edition line comes first, though the total was asked for before it.
    out.print("IsWindowsServer: %d\nActive processor count across all processor groups: %d\n",
              queries.IsWindowsServer(), static_cast<int>(total));

    USHORT group_count = 0;
    if (queries.QueryProcessGroupAffinitySize(group_count) != FALSE) {
        out.print("Unexpected GetProcessGroupAffinity success result.\n");
        return 1;
    }
    if (const DWORD error = queries.GetLastError(); error != ERROR_INSUFFICIENT_BUFFER) {
        out.print("GetProcessGroupAffinity failed with error: %x\n", as_unsigned_int(error));
        return 1;
    }
    if (group_count == 0) {
        out.print("Unexpected group count of 0 from GetProcessGroupAffinity.\n");
        return 1;
    }

    // The listing counts groups 0 to n - 1, whichever groups the process is in.
    out.print("Active processors per group: ");
    for (WORD group = 0; group < group_count; ++group) {
        const DWORD count = queries.GetActiveProcessorCount(group);
        if (count == 0) {
            const DWORD error = queries.GetLastError();
            out.print("GetActiveProcessorCount(%d) failed with error: %x\n", group, as_unsigned_int(error));
            return 1;
        }
        out.print("%d,", static_cast<int>(count));
    }
    return 0;
}

}  // namespace procgroups
