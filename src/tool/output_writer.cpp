#include "tool/output_writer.hpp"

#include <cerrno>
#include <cstdarg>

namespace procgroups {

void OutputWriter::print(const char* format, ...) noexcept {
    va_list values;
    va_start(values, format);
    // clang-tidy 14, checking several files in one run, takes va_start for no start.
    if (std::vfprintf(stream_, format, values) < 0) {  // NOLINT(clang-analyzer-valist.Uninitialized)
        note_failure();
    }
    va_end(values);
}

int OutputWriter::close() noexcept {
    if (first_error_ == 0 && std::ferror(stream_) != 0) {
        first_error_ = EIO;
    }
    if (std::fclose(stream_) != 0) {
        note_failure();
    }
    return first_error_;
}

void OutputWriter::note_failure() noexcept {
    if (first_error_ == 0) {
        first_error_ = errno != 0 ? errno : EIO;
    }
}

}  // namespace procgroups
