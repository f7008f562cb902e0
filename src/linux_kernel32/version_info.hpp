#pragma once

#include "linux_kernel32/win32_subset.hpp"

namespace procgroups {

// VerSetConditionMask and VerifyVersionInfoW as Windows answers them, for a
// system that reports itself as a workstation and compares the product type only.
[[nodiscard]] ULONGLONG set_condition_mask(ULONGLONG condition_mask, DWORD type_mask, BYTE condition);
[[nodiscard]] BOOL verify_version_info(const OSVERSIONINFOEXW* version, DWORD type_mask, DWORDLONG condition_mask);

}  // namespace procgroups
