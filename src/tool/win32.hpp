#pragma once

// The few Win32 functions, types and constants the queries use. On Windows they
// are the platform's own; elsewhere the project implements them over Linux.
#ifdef _WIN32
#include <windows.h>
#else
#include "linux_kernel32/win32_subset.hpp"
#endif
