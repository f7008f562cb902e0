#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "win32/linux/cpu_set.hpp"
#include "win32/linux/win32_subset.hpp"

namespace procgroups {

inline constexpr DWORD kNoError = 0;

// The Win32 code that stands for a failed system call's errno.
[[nodiscard]] DWORD win32_error_from_errno(int error);

// Reads a whole file. Returns kNoError or the Win32 code for why it could not.
[[nodiscard]] DWORD read_file(const std::string& path, std::string& content);

// Reads a CPU list file; malformed content is ERROR_INVALID_DATA.
[[nodiscard]] DWORD read_cpu_list(const std::string& path, CpuSet& cpus);

// Reads a topology id such as core_id; a missing file counts as id 0, as does
// on Linux a machine that does not report that level.
[[nodiscard]] DWORD read_topology_id(const std::string& path, std::int64_t& id);

// The numbers K of the nodeK folders in a folder, ascending. A missing folder is a
// kernel built without NUMA: no nodes, and no error.
[[nodiscard]] DWORD list_numa_nodes(const std::string& node_folder, std::vector<std::uint32_t>& nodes);

}  // namespace procgroups
