#pragma once

#include <cstdio>

namespace procgroups {

// The tool's one writer: printf formatting onto a stdio stream, remembering the
// first failure so that the exit status can tell the truth about it.
class OutputWriter {
public:
    explicit OutputWriter(std::FILE* stream) noexcept : stream_(stream) {}

    void print(const char* format, ...) noexcept __attribute__((format(printf, 2, 3)));

    // Pushes out what is pending. Returns 0 when everything written so far
    // reached the stream, otherwise the errno of the first failure.
    [[nodiscard]] int flush() noexcept;

private:
    void note_failure() noexcept;

    std::FILE* stream_;
    int first_error_ = 0;
};

}  // namespace procgroups
