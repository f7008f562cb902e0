#pragma once

// The Win32 subset the tool calls, declared with Windows' own names, types and
// values so that the queries compile unchanged on both platforms.

#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using USHORT = std::uint16_t;
using PUSHORT = USHORT*;
using DWORD = std::uint32_t;
using DWORDLONG = std::uint64_t;
using ULONGLONG = std::uint64_t;
using WCHAR = char16_t;  // 16 bits wide, as on Windows, so the records keep their size
using HANDLE = void*;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;

inline constexpr WORD ALL_PROCESSOR_GROUPS = 0xffff;

inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_BAD_ARGUMENTS = 160;
inline constexpr DWORD ERROR_NOACCESS = 998;
inline constexpr DWORD ERROR_OLD_WIN_VERSION = 1150;

inline constexpr BYTE VER_NT_WORKSTATION = 1;
inline constexpr DWORD VER_PRODUCT_TYPE = 0x80;
inline constexpr BYTE VER_EQUAL = 1;
inline constexpr BYTE VER_GREATER_EQUAL = 3;

struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

DWORD GetActiveProcessorCount(WORD GroupNumber);
BOOL GetProcessGroupAffinity(HANDLE hProcess, PUSHORT GroupCount, PUSHORT GroupArray);
HANDLE GetCurrentProcess();
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* lpVersionInformation, DWORD dwTypeMask,
                        DWORDLONG dwlConditionMask);
ULONGLONG VerSetConditionMask(ULONGLONG ConditionMask, DWORD TypeMask, BYTE Condition);
