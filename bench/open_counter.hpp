#pragma once

#include <cstdint>

namespace procgroups {

// How many files the code linked into this program has opened with open() or
// openat(): this program's own definitions of both count each call, then pass it on.
std::uint64_t files_opened();

}  // namespace procgroups
