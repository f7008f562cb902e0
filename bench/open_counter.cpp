#include "open_counter.hpp"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>

namespace {

std::atomic<std::uint64_t> opened{0};

// Counts the call and makes it; the mode argument exists only when a file may be created.
int counted_openat(int folder, const char* path, int flags, va_list arguments) {
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, unsigned)) : 0;
    ++opened;
    return static_cast<int>(::syscall(SYS_openat, folder, path, flags, mode));
}

}  // namespace

std::uint64_t procgroups::files_opened() {
    return opened.load();
}

extern "C" int openat(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = counted_openat(folder, path, flags, arguments);
    va_end(arguments);
    return fd;
}

extern "C" int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const int fd = counted_openat(AT_FDCWD, path, flags, arguments);
    va_end(arguments);
    return fd;
}
