#pragma once

#include "linux_kernel32/win32_subset.hpp"

namespace procgroups {

// VerSetConditionMask and VerifyVersionInfoW for the one question the tool
// asks, as Windows answers it on a workstation: is the product type equal to
// the one given. Any other request fails as Windows fails a bad one.
[[nodiscard]] ULONGLONG set_condition_mask(ULONGLONG condition_mask, DWORD type_mask, BYTE condition);
[[nodiscard]] BOOL verify_version_info(const OSVERSIONINFOEXW* version, DWORD type_mask, DWORDLONG condition_mask);

}  // namespace procgroups
