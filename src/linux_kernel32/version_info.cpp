#include "linux_kernel32/version_info.hpp"

#include "linux_kernel32/win32_error.hpp"

namespace procgroups {

namespace {

// A Linux machine answers as a workstation would.
constexpr BYTE kRunningProductType = VER_NT_WORKSTATION;

// Where Windows keeps the condition of VER_PRODUCT_TYPE (type bit 7) in a
// condition mask: three bits a type.
constexpr int kProductTypeShift = 21;
constexpr ULONGLONG kConditionBits = 7;

}  // namespace

// Only the product type compared for equality is answered here; any other
// type or condition is not recorded, so that VerifyVersionInfoW refuses it.
ULONGLONG set_condition_mask(ULONGLONG condition_mask, DWORD type_mask, BYTE condition) {
    if (type_mask != VER_PRODUCT_TYPE || (condition & kConditionBits) != VER_EQUAL) {
        return condition_mask;
    }
    return condition_mask | ULONGLONG{VER_EQUAL} << kProductTypeShift;
}

BOOL verify_version_info(const OSVERSIONINFOEXW* version, DWORD type_mask, DWORDLONG condition_mask) {
    if (version == nullptr) {
        return failure<BOOL>(ERROR_NOACCESS);
    }
    // As Windows refuses a type without a condition, this refuses every question but the one it answers.
    if (type_mask != VER_PRODUCT_TYPE || (condition_mask >> kProductTypeShift & kConditionBits) != VER_EQUAL) {
        return failure<BOOL>(ERROR_BAD_ARGUMENTS);
    }
    if (version->wProductType != kRunningProductType) {
        return failure<BOOL>(ERROR_OLD_WIN_VERSION);
    }
    return TRUE;
}

}  // namespace procgroups
