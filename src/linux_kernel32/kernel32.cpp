// The Win32 functions the tool calls, as kernel32 exports them: each a thin
// adapter over the code that answers it from Linux.
#include "linux_kernel32/group_queries.hpp"
#include "linux_kernel32/processor_groups.hpp"
#include "linux_kernel32/version_info.hpp"
#include "linux_kernel32/win32_error.hpp"
#include "linux_kernel32/win32_subset.hpp"

namespace {

// Windows forms its processor groups once, at boot; the nearest a process gets
// is once, at its first question.
const procgroups::ProcessorGroups& machine_groups() {
    static const procgroups::ProcessorGroups groups = procgroups::form_processor_groups("/sys/devices/system");
    return groups;
}

}  // namespace

DWORD GetActiveProcessorCount(WORD GroupNumber) {
    return procgroups::active_processor_count(machine_groups(), GroupNumber);
}

BOOL GetProcessGroupAffinity(HANDLE hProcess, PUSHORT GroupCount, PUSHORT GroupArray) {
    return procgroups::process_group_affinity(machine_groups(), hProcess, GroupCount, GroupArray);
}

HANDLE GetCurrentProcess() {
    // Windows' pseudo handle for the calling process is the pointer value -1.
    return reinterpret_cast<HANDLE>(~std::uintptr_t{0});  // NOLINT(performance-no-int-to-ptr)
}

DWORD GetLastError() {
    return procgroups::last_error();
}

void SetLastError(DWORD dwErrCode) {
    procgroups::set_last_error(dwErrCode);
}

ULONGLONG VerSetConditionMask(ULONGLONG ConditionMask, DWORD TypeMask, BYTE Condition) {
    return procgroups::set_condition_mask(ConditionMask, TypeMask, Condition);
}

BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* lpVersionInformation, DWORD dwTypeMask, DWORDLONG dwlConditionMask) {
    return procgroups::verify_version_info(lpVersionInformation, dwTypeMask, dwlConditionMask);
}
