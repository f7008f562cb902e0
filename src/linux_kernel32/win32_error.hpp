#pragma once

#include "linux_kernel32/win32_subset.hpp"

namespace procgroups {

inline constexpr DWORD kNoError = 0;

// The Win32 code that stands for a failed system call's errno, or for a
// topology the kernel would never write (kDamaged).
[[nodiscard]] DWORD win32_error_from_errno(int error);

// The calling thread's last-error value, behind GetLastError and SetLastError.
[[nodiscard]] DWORD last_error();
void set_last_error(DWORD error);

// How a Win32 function fails: the reason left as the last error, and a zero
// result (FALSE, or a count of 0).
template <typename Result>
[[nodiscard]] Result failure(DWORD error) {
    set_last_error(error);
    return Result{0};
}

}  // namespace procgroups
