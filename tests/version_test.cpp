#include <gtest/gtest.h>

#include "linux_kernel32/win32_subset.hpp"

namespace {

constexpr ULONGLONG kProductTypeEqual = ULONGLONG{VER_EQUAL} << 21;

TEST(VerSetConditionMaskTest, EncodesTheProductTypeAsWindowsDoes) {
    EXPECT_EQ(VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL), kProductTypeEqual);
    EXPECT_EQ(VerSetConditionMask(0, VER_PRODUCT_TYPE, 9), kProductTypeEqual);  // condition & 7
    EXPECT_EQ(VerSetConditionMask(5, 0, VER_EQUAL), 5U);
    EXPECT_EQ(VerSetConditionMask(5, VER_PRODUCT_TYPE, 0), 5U);
    EXPECT_EQ(VerSetConditionMask(0, 0x2, VER_GREATER_EQUAL), 0U);  // not a question it answers
}

struct VerifyCase {
    BYTE product_type;
    DWORD type_mask;
    ULONGLONG condition_mask;
    BOOL result;
    DWORD error;  // left by a FALSE result
};

TEST(VerifyVersionInfoWTest, ComparesTheProductTypeOfAWorkstation) {
    const VerifyCase cases[] = {
        {VER_NT_WORKSTATION, VER_PRODUCT_TYPE, kProductTypeEqual, TRUE, 0},
        {3, VER_PRODUCT_TYPE, kProductTypeEqual, FALSE, ERROR_OLD_WIN_VERSION},  // a server
        {VER_NT_WORKSTATION, 0, kProductTypeEqual, FALSE, ERROR_BAD_ARGUMENTS},
        {VER_NT_WORKSTATION, VER_PRODUCT_TYPE, 0, FALSE, ERROR_BAD_ARGUMENTS},
        {VER_NT_WORKSTATION, VER_PRODUCT_TYPE, ULONGLONG{VER_GREATER_EQUAL} << 21, FALSE, ERROR_BAD_ARGUMENTS},
        {VER_NT_WORKSTATION, 0x2, ULONGLONG{VER_EQUAL} << 3, FALSE, ERROR_BAD_ARGUMENTS},
    };
    for (const VerifyCase& c : cases) {
        OSVERSIONINFOEXW version{};
        version.dwOSVersionInfoSize = sizeof(version);
        version.wProductType = c.product_type;
        SetLastError(0);
        EXPECT_EQ(VerifyVersionInfoW(&version, c.type_mask, c.condition_mask), c.result)
            << "type " << int{c.product_type} << " mask " << c.type_mask << " conditions " << c.condition_mask;
        EXPECT_EQ(GetLastError(), c.error);
    }
    SetLastError(0);
    EXPECT_EQ(VerifyVersionInfoW(nullptr, VER_PRODUCT_TYPE, kProductTypeEqual), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
}

}  // namespace
