#include "linux_kernel32/win32_error.hpp"

#include <cerrno>

#include "linux_topology/topology_error.hpp"

namespace procgroups {

namespace {

thread_local DWORD thread_last_error = kNoError;

}  // namespace

DWORD win32_error_from_errno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case kDamaged:
        return ERROR_INVALID_DATA;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD last_error() {
    return thread_last_error;
}

void set_last_error(DWORD error) {
    thread_last_error = error;
}

}  // namespace procgroups
