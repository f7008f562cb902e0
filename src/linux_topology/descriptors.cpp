#include "linux_topology/descriptors.hpp"

#include <unistd.h>

#include <algorithm>

namespace procgroups {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ClosingBatch::add(int fd) {
    if (count_ == fds_.size()) {
        close_all();
    }
    fds_[count_++] = fd;
}

void ClosingBatch::close_all() {
    std::sort(fds_.begin(), fds_.begin() + static_cast<std::ptrdiff_t>(count_));
    for (std::size_t first = 0; first < count_;) {
        std::size_t last = first;
        while (last + 1 < count_ && fds_[last + 1] == fds_[last] + 1) {
            ++last;
        }
        // Only descriptors of the batch are in the run. Kernels before 5.9 lack close_range.
        if (::close_range(static_cast<unsigned>(fds_[first]), static_cast<unsigned>(fds_[last]), 0) != 0) {
            for (std::size_t fd = first; fd <= last; ++fd) {
                ::close(fds_[fd]);
            }
        }
        first = last + 1;
    }
    count_ = 0;
}

}  // namespace procgroups
