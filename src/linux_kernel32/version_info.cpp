#include "linux_kernel32/version_info.hpp"

#include "linux_kernel32/win32_error.hpp"

namespace procgroups {

namespace {

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

}  // namespace

ULONGLONG set_condition_mask(ULONGLONG condition_mask, DWORD type_mask, BYTE condition_type) {
    const auto condition = static_cast<ULONGLONG>(condition_type & 7U);
    if (condition == 0) {
        return condition_mask;
    }
    // Of several type flags Windows encodes only the highest.
    for (int field = kVersionFieldCount - 1; field >= 0; --field) {
        if ((type_mask & (1U << field)) != 0) {
            return condition_mask | condition << (kConditionBits * field);
        }
    }
    return condition_mask;
}

BOOL verify_version_info(const OSVERSIONINFOEXW* version, DWORD type_mask, DWORDLONG condition_mask) {
    if (version == nullptr) {
        return failure<BOOL>(ERROR_NOACCESS);
    }
    if (type_mask == 0) {
        return failure<BOOL>(ERROR_BAD_ARGUMENTS);
    }
    for (int field = 0; field < kVersionFieldCount; ++field) {
        if ((type_mask & (1U << field)) != 0 && condition_of_field(condition_mask, field) == 0) {
            return failure<BOOL>(ERROR_BAD_ARGUMENTS);
        }
    }
    if (type_mask != VER_PRODUCT_TYPE) {
        return failure<BOOL>(ERROR_NOT_SUPPORTED);
    }
    const BYTE condition = condition_of_field(condition_mask, kProductTypeField);
    if (condition > VER_LESS_EQUAL) {
        return failure<BOOL>(ERROR_BAD_ARGUMENTS);  // AND and OR compare suite masks only
    }
    if (!holds(condition, kRunningProductType, version->wProductType)) {
        return failure<BOOL>(ERROR_OLD_WIN_VERSION);
    }
    return TRUE;
}

}  // namespace procgroups
