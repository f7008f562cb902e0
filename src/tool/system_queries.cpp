#include "tool/system_queries.hpp"

namespace procgroups {

static_assert(sizeof(OSVERSIONINFOEXW) == 284, "the version record must have Windows' layout");

DWORD PlatformQueries::GetActiveProcessorCount(WORD group_number) const {
    return ::GetActiveProcessorCount(group_number);
}

int PlatformQueries::IsWindowsServer() const {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    version.wProductType = VER_NT_WORKSTATION;
    const DWORDLONG condition_mask = ::VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL);
    // A comparison that cannot be made counts as "not a workstation".
    return ::VerifyVersionInfoW(&version, VER_PRODUCT_TYPE, condition_mask) == FALSE ? 1 : 0;
}

BOOL PlatformQueries::QueryProcessGroupAffinitySize(USHORT& group_count) const {
    return ::GetProcessGroupAffinity(::GetCurrentProcess(), &group_count, nullptr);
}

DWORD PlatformQueries::GetLastError() const {
    return ::GetLastError();
}

}  // namespace procgroups
