#include "linux_topology/sysfs.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace procgroups {

namespace {

// No file the tool reads comes near this on a machine Linux can be: a CPU
// list of every other number below 8,192 is about 20 KB, and a distance row
// of 1,024 nodes at most 4 KB (drivers/base/node.c). A larger file is not sysfs.
constexpr std::size_t kMaxFileSize = std::size_t{64} << 10;

bool is_regular_file(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// Why a file or folder below the root could not be opened or read. The
// kernel writes regular files and folders only: a socket, a device without a
// driver or a link that loops, where sysfs has a file or a folder, is damage
// to the tree, not a failure of the system.
TopologyError error_of(int error) {
    switch (error) {
    case ENXIO:
    case ENODEV:
    case ELOOP:
        return kDamaged;
    default:
        return error;
    }
}

}  // namespace

SysfsTree::SysfsTree(const char* root, ReadFunction read)
    : read_(read), root_(::open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (root_.get() < 0) {
        open_error_ = errno;
    }
}

int SysfsTree::open_below_root(const char* path, int flags) const {
    int fd = ::openat(root_.get(), path, flags);
    if (fd < 0 && (errno == EMFILE || errno == ENFILE) && !closing_.empty()) {
        closing_.close_all();  // the batch is holding the descriptors
        fd = ::openat(root_.get(), path, flags);
    }
    return fd;
}

TopologyError SysfsTree::read_file(const char* path, FileContent& content) const {
    // Without O_NONBLOCK opening a FIFO put in the tree would hold the tool forever.
    const int fd = open_below_root(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return error_of(errno);
    }
    closing_.add(fd);
    // A FIFO or a device would serve whatever its writer wrote.
    if (!is_regular_file(fd)) {
        return kDamaged;
    }
    char* buffer = content.page.data();
    std::size_t capacity = content.page.size();
    std::size_t filled = 0;
    for (;;) {
        if (capacity - filled < kReadSize) {
            if (capacity >= kMaxFileSize) {
                return kDamaged;
            }
            if (buffer == content.page.data()) {
                content.larger.assign(buffer, filled);
            }
            content.larger.resize(capacity * 2);
            buffer = content.larger.data();
            capacity = content.larger.size();
        }
        const ssize_t got = read_(fd, buffer + filled, kReadSize);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return error_of(errno);
        }
        filled += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) + 1 < kReadSize) {
            break;  // the end of the file
        }
    }
    content.text = std::string_view(buffer, filled);
    return kTopologyRead;
}

TopologyError SysfsTree::read_cpu_list(const char* path, CpuSet& cpus) const {
    return read_cpu_ranges(path, adding_to(cpus));
}

TopologyError SysfsTree::read_topology_id(const char* path, std::int64_t& id) const {
    id = 0;
    return read_line(path, [&id](std::string_view text) {
        const char* const end = text.data() + text.size();
        const auto [stop, status] = std::from_chars(text.data(), end, id);
        return status == std::errc{} && stop == end;
    });
}

template <typename Visit>
TopologyError SysfsTree::list_numbered(const char* folder, std::string_view prefix, std::uint32_t largest,
                                       Visit visit) const {
    const FileDescriptor listing(open_below_root(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listing.get() < 0) {
        return error_of(errno);
    }
    // getdents64 into a buffer of our own: opendir would reserve 32 KiB on the heap.
    alignas(dirent64) std::array<char, 4096> entries;
    for (;;) {
        const ssize_t got = ::getdents64(listing.get(), entries.data(), entries.size());
        if (got < 0) {
            return error_of(errno);
        }
        if (got == 0) {
            return kTopologyRead;
        }
        for (std::size_t offset = 0; offset < static_cast<std::size_t>(got);) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries.data() + offset);
            offset += entry->d_reclen;
            std::string_view name(entry->d_name);
            if (!name.starts_with(prefix) || name.size() == prefix.size() ||
                !is_digit(name[prefix.size()])) {
                continue;  // another attribute of the folder, such as node/online or cpu/cpufreq
            }
            name.remove_prefix(prefix.size());
            std::uint32_t number = 0;
            if (!take_decimal(name, largest, number) || !name.empty()) {
                return kDamaged;
            }
            visit(number);
        }
    }
}

TopologyError SysfsTree::list_numa_nodes(std::vector<NodeNumber>& nodes) const {
    const TopologyError error = list_numbered("node", "node", kMaxNodeNumber, [&nodes](std::uint32_t node) { nodes.push_back(NodeNumber{node}); });
    if (error == ENOENT) {
        return kTopologyRead;
    }
    std::sort(nodes.begin(), nodes.end());
    return error;
}

TopologyError SysfsTree::list_cpu_folders(CpuSet& cpus) const {
    return list_numbered("cpu", "cpu", kMaxCpuNumber, [&cpus](std::uint32_t cpu) { cpus.add(cpu); });
}

}  // namespace procgroups
