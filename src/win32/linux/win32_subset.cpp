#include "win32/linux/win32_subset.hpp"

#include "win32/linux/group_queries.hpp"
#include "win32/linux/processor_groups.hpp"

namespace {

thread_local DWORD last_error = 0;

// Windows forms its processor groups once, at boot; the nearest a process gets
// is once, at its first question.
const procgroups::ProcessorGroups& machine_groups() {
    static const procgroups::ProcessorGroups groups = procgroups::form_processor_groups("/sys/devices/system");
    return groups;
}

// A Linux machine answers as a workstation would.
constexpr BYTE kRunningProductType = VER_NT_WORKSTATION;

constexpr int kVersionFieldCount = 8;
constexpr int kProductTypeField = 7;  // bit index of VER_PRODUCT_TYPE
constexpr int kConditionBits = 3;

BYTE condition_of_field(DWORDLONG condition_mask, int field) {
    return static_cast<BYTE>((condition_mask >> (kConditionBits * field)) & 7U);
}

bool holds(BYTE condition, BYTE running, BYTE requested) {
    switch (condition) {
    case VER_EQUAL:
        return running == requested;
    case VER_GREATER:
        return running > requested;
    case VER_GREATER_EQUAL:
        return running >= requested;
    case VER_LESS:
        return running < requested;
    default:  // VER_LESS_EQUAL; validated before
        return running <= requested;
    }
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
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
    return last_error;
}

void SetLastError(DWORD dwErrCode) {
    last_error = dwErrCode;
}

ULONGLONG VerSetConditionMask(ULONGLONG ConditionMask, DWORD TypeMask, BYTE Condition) {
    const auto condition = static_cast<ULONGLONG>(Condition & 7U);
    if (condition == 0) {
        return ConditionMask;
    }
    // Of several type flags Windows encodes only the highest.
    for (int field = kVersionFieldCount - 1; field >= 0; --field) {
        if ((TypeMask & (1U << field)) != 0) {
            return ConditionMask | condition << (kConditionBits * field);
        }
    }
    return ConditionMask;
}

BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* lpVersionInformation, DWORD dwTypeMask, DWORDLONG dwlConditionMask) {
    if (lpVersionInformation == nullptr) {
        return fail(ERROR_NOACCESS);
    }
    if (dwTypeMask == 0) {
        return fail(ERROR_BAD_ARGUMENTS);
    }
    for (int field = 0; field < kVersionFieldCount; ++field) {
        if ((dwTypeMask & (1U << field)) != 0 && condition_of_field(dwlConditionMask, field) == 0) {
            return fail(ERROR_BAD_ARGUMENTS);
        }
    }
    if (dwTypeMask != VER_PRODUCT_TYPE) {
        return fail(ERROR_NOT_SUPPORTED);
    }
    const BYTE condition = condition_of_field(dwlConditionMask, kProductTypeField);
    if (condition > VER_LESS_EQUAL) {
        return fail(ERROR_BAD_ARGUMENTS);  // AND and OR compare suite masks only
    }
    if (!holds(condition, kRunningProductType, lpVersionInformation->wProductType)) {
        return fail(ERROR_OLD_WIN_VERSION);
    }
    return TRUE;
}
