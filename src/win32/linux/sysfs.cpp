#include "win32/linux/sysfs.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <memory>
#include <string_view>

namespace procgroups {

namespace {

// No CPU list the kernel can write comes near this (every number up to the
// largest written one by one is about 7 MiB); a larger file is not sysfs.
constexpr std::size_t kMaxFileSize = std::size_t{16} << 20;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

// Accepts "node" followed by a decimal number that fits 32 bits.
bool parse_node_name(std::string_view name, std::uint32_t& node) {
    constexpr std::string_view prefix = "node";
    if (!name.starts_with(prefix) || name.size() == prefix.size()) {
        return false;
    }
    const char* const end = name.data() + name.size();
    const auto [stop, status] = std::from_chars(name.data() + prefix.size(), end, node);
    return status == std::errc{} && stop == end;
}

}  // namespace

DWORD win32_error_from_errno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD read_file(const std::string& path, std::string& content) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return win32_error_from_errno(errno);
    }
    // sysfs files are small: one read of a page-sized buffer is the usual whole story.
    content.resize(4096);
    std::size_t filled = 0;
    for (;;) {
        const ssize_t got = ::read(file.get(), content.data() + filled, content.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return win32_error_from_errno(errno);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
        if (filled == content.size()) {
            if (content.size() >= kMaxFileSize) {
                return ERROR_INVALID_DATA;
            }
            content.resize(content.size() * 2);
        }
    }
    content.resize(filled);
    return kNoError;
}

DWORD read_cpu_list(const std::string& path, CpuSet& cpus) {
    std::string content;
    if (const DWORD error = read_file(path, content); error != kNoError) {
        return error;
    }
    return parse_cpu_list(content, cpus) ? kNoError : ERROR_INVALID_DATA;
}

DWORD read_topology_id(const std::string& path, std::int64_t& id) {
    std::string content;
    if (const DWORD error = read_file(path, content); error != kNoError) {
        id = 0;
        return error == ERROR_FILE_NOT_FOUND ? kNoError : error;
    }
    std::string_view text = content;
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    const char* const end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, id);
    return status == std::errc{} && stop == end ? kNoError : ERROR_INVALID_DATA;
}

DWORD list_numa_nodes(const std::string& node_folder, std::vector<std::uint32_t>& nodes) {
    const std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(node_folder.c_str()));
    if (!directory) {
        return errno == ENOENT ? kNoError : win32_error_from_errno(errno);
    }
    errno = 0;
    while (const dirent* entry = ::readdir(directory.get())) {
        std::uint32_t node = 0;
        if (parse_node_name(entry->d_name, node)) {
            nodes.push_back(node);
        }
    }
    if (errno != 0) {
        return win32_error_from_errno(errno);
    }
    std::sort(nodes.begin(), nodes.end());
    return kNoError;
}

}  // namespace procgroups
