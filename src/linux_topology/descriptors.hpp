#pragma once

#include <array>
#include <cstddef>

namespace procgroups {

// An open file descriptor, closed with the object.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

// The files a tree has read, closed together: one close_range for a run of
// consecutive descriptors instead of a close each. On a big machine closing
// would otherwise be a third of all the system calls the tool makes.
class ClosingBatch {
public:
    ClosingBatch() = default;
    ClosingBatch(const ClosingBatch&) = delete;
    ClosingBatch& operator=(const ClosingBatch&) = delete;
    ~ClosingBatch() { close_all(); }

    void add(int fd);
    [[nodiscard]] bool empty() const { return count_ == 0; }
    void close_all();

private:
    std::array<int, 128> fds_{};  // far below the usual limit of 1,024 open files
    std::size_t count_ = 0;
};

}  // namespace procgroups
