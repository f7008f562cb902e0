#pragma once

#include "tool/win32.hpp"

namespace procgroups {

// The questions the report asks the operating system. Each is asked once, when
// the report needs it; a failure leaves its reason for GetLastError.
class SystemQueries {
public:
    SystemQueries() = default;
    SystemQueries(const SystemQueries&) = delete;
    SystemQueries& operator=(const SystemQueries&) = delete;
    virtual ~SystemQueries() = default;

    // ALL_PROCESSOR_GROUPS for all groups together; 0 on failure.
    [[nodiscard]] virtual DWORD GetActiveProcessorCount(WORD group_number) const = 0;
    // 1 unless the running edition is a workstation, or when that cannot be told.
    [[nodiscard]] virtual int IsWindowsServer() const = 0;
    // A size query: FALSE with ERROR_INSUFFICIENT_BUFFER and group_count set to the
    // number of groups the process is in is the expected answer.
    [[nodiscard]] virtual BOOL QueryProcessGroupAffinitySize(USHORT& group_count) const = 0;
    [[nodiscard]] virtual DWORD GetLastError() const = 0;
};

// The queries answered by the platform: kernel32 on Windows, the project's own
// implementation of the same functions elsewhere.
class PlatformQueries final : public SystemQueries {
public:
    [[nodiscard]] DWORD GetActiveProcessorCount(WORD group_number) const override;
    [[nodiscard]] int IsWindowsServer() const override;
    [[nodiscard]] BOOL QueryProcessGroupAffinitySize(USHORT& group_count) const override;
    [[nodiscard]] DWORD GetLastError() const override;
};

}  // namespace procgroups
