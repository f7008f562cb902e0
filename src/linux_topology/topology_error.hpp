#pragma once

#include <cerrno>

namespace procgroups {

// Why the topology could not be read: the errno of the system call that
// failed, or kDamaged for content the kernel would never write.
using TopologyError = int;

inline constexpr TopologyError kTopologyRead = 0;
inline constexpr TopologyError kDamaged = EBADMSG;

}  // namespace procgroups
