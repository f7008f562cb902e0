#include "open_counter.hpp"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>

namespace {

std::atomic<std::uint64_t> opened{0};

// The mode argument exists only when a file may be created.
mode_t mode_argument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, unsigned)) : 0;
}

}  // namespace

std::uint64_t procgroups::files_opened() {
    return opened.load();
}

extern "C" int openat(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    ++opened;
    return static_cast<int>(::syscall(SYS_openat, folder, path, flags, mode));
}

extern "C" int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    ++opened;
    return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}
