#pragma once

#include <cstdio>

namespace procgroups {

// The tool's one writer: printf formatting onto a stdio stream, remembering the
// first failure so that the exit status can tell the truth about it.
class OutputWriter {
public:
    explicit OutputWriter(std::FILE* stream) noexcept : stream_(stream) {}

    void print(const char* format, ...) noexcept __attribute__((format(printf, 2, 3)));

    // Closes the stream, as gnulib's close_stdout does: some file systems (NFS)
    // report a failed write only at close. Returns 0 when everything written
    // reached the file, otherwise the errno of the first failure.
    [[nodiscard]] int close() noexcept;

private:
    void note_failure() noexcept;

    std::FILE* stream_;
    int first_error_ = 0;
};

}  // namespace procgroups
