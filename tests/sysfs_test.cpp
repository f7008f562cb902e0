#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "fixture_tree.hpp"
#include "linux_kernel32/processor_groups.hpp"
#include "linux_kernel32/win32_error.hpp"
#include "linux_topology/sysfs.hpp"

namespace procgroups {
namespace {

// Runs `work` in a child process (for what would disturb the test process),
// returning the code it exits with.
int in_child(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(work());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(SysfsTest, MapsEachErrnoToItsWin32Code) {
    const struct {
        int error;
        DWORD win32;
    } cases[] = {{ENOENT, ERROR_FILE_NOT_FOUND},       {ENOTDIR, ERROR_PATH_NOT_FOUND},
                 {EMFILE, ERROR_TOO_MANY_OPEN_FILES},  {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
                 {EACCES, ERROR_ACCESS_DENIED},        {EPERM, ERROR_ACCESS_DENIED},
                 {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},    {EIO, ERROR_GEN_FAILURE},
                 {kDamaged, ERROR_INVALID_DATA}};
    for (const auto& c : cases) {
        EXPECT_EQ(win32_error_from_errno(c.error), c.win32) << "errno " << c.error;
    }
}

TEST(SysfsTest, RunningOutOfFileDescriptorsIsTooManyOpenFiles) {
    const FixtureTree tree;
    write_machine(tree, {"0-1", {{0, "0-1"}}, {}});
    const int error = in_child([&tree] {
        const rlimit three{3, 3};  // standard input, output and error already take them
        if (::setrlimit(RLIMIT_NOFILE, &three) != 0) {
            return 255;
        }
        return static_cast<int>(form_processor_groups(tree.root().c_str()).error);
    });
    EXPECT_EQ(error, static_cast<int>(ERROR_TOO_MANY_OPEN_FILES));
}

// The open-file limit that leaves `spare` descriptors to open: new ones take
// the lowest free numbers, and the limit bounds the numbers.
rlim_t limit_leaving(rlim_t spare) {
    int fd = 0;
    for (; spare > 0; ++fd) {
        spare -= ::fcntl(fd, F_GETFD) == -1 ? 1U : 0U;
    }
    return static_cast<rlim_t>(fd);
}

TEST(SysfsTest, FilesHeldForClosingGiveWayUnderALowLimit) {
    const struct {
        MachineShape machine;
        rlim_t spare;  // descriptors left to open
        std::vector<DWORD> groups;
    } cases[] = {
        // The root and one file at a time are enough.
        {nodes_of_sizes({2}), 2, {2}},
        {nodes_of_sizes({300}, cores_of_threads(2)), 13, {64, 64, 64, 64, 44}},  // 300 topology files and more
        {nodes_of_sizes({300}, cores_of_threads(2)), 1021, {64, 64, 64, 64, 44}},
    };
    for (const auto& c : cases) {
        const FixtureTree tree;
        write_machine(tree, c.machine);
        const int error = in_child([&tree, &c] {
            const rlim_t limit = limit_leaving(c.spare);
            const rlimit low{limit, limit};
            if (::setrlimit(RLIMIT_NOFILE, &low) != 0) {
                return 255;
            }
            const ProcessorGroups groups = form_processor_groups(tree.root().c_str());
            return groups.group_sizes == c.groups || groups.error != 0 ? static_cast<int>(groups.error) : 254;
        });
        EXPECT_EQ(error, 0) << c.spare << " spare descriptors, " << c.machine.online;
    }
}

// Hands out at most a page per read, as the kernel serves node/nodeK/cpulist.
ssize_t one_page_per_read(int fd, void* buffer, std::size_t size) {
    return ::read(fd, buffer, std::min<std::size_t>(size, 4096));
}

// Serves a read as the kernel serves a CPU list since Linux 5.15: at most a
// page, and one byte less than asked for while more of the list follows, the
// offset moved by as much.
template <std::size_t kPage>
ssize_t as_the_kernel_serves_a_list(int fd, void* buffer, std::size_t size) {
    const std::size_t asked = std::min(size, kPage);
    const ssize_t got = ::read(fd, buffer, asked);
    if (got < 0 || static_cast<std::size_t>(got) < asked) {
        return got;
    }
    ::lseek(fd, -1, SEEK_CUR);
    return got - 1;
}

TEST(SysfsTest, ReadsAListServedAPageAtATimeWhole) {
    // Every third CPU up to 8,191: a list of 13 KiB, as a node of a machine
    // whose CPUs are numbered round robin over three nodes holds; every other
    // CPU up to 2,022: 4.5 KiB, one page and a bit.
    const struct {
        std::string list;
        DWORD count;
    } lists[] = {{every_nth_cpu(0, 8192, 3), 2731}, {every_nth_cpu(0, 2024, 2), 1012}};
    const ReadFunction reads[] = {::read, one_page_per_read, as_the_kernel_serves_a_list<4096>,
                                  as_the_kernel_serves_a_list<65536>};
    for (const auto& [list, count] : lists) {
        const FixtureTree tree;
        tree.write("node/node0/cpulist", list + "\n");
        ASSERT_GT(list.size(), 4096U);
        for (std::size_t read = 0; read < std::size(reads); ++read) {
            const SysfsTree sysfs(tree.root().c_str(), reads[read]);
            CpuSet cpus;
            ASSERT_EQ(sysfs.read_cpu_list("node/node0/cpulist", cpus), kTopologyRead) << "read " << read;
            EXPECT_EQ(cpus.count(), count) << "read " << read;
        }
    }
}

TEST(SysfsTest, FormsGroupsFromAnOnlineListLargerThanAPage) {
    const FixtureTree tree;
    tree.write("cpu/online", every_nth_cpu(0, 8192, 2) + "\n");
    const ProcessorGroups groups = form_processor_groups(tree.root().c_str());
    ASSERT_EQ(groups.error, 0U);
    EXPECT_EQ(groups.online_count, 4096U);
    EXPECT_EQ(groups.group_sizes, std::vector<DWORD>(64, 64));
    EXPECT_EQ(groups.group_of_cpu[8190], 63);
}

// Where a file belongs, anything else is damage: a folder, a socket, a link
// that loops, a device.
TEST(SysfsTest, AnythingButARegularFileIsDamage) {
    const auto socket_at = [](const std::string& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return bound;
    };
    const std::function<bool(const std::string&)> kinds[] = {
        [](const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; },
        socket_at,
        [](const std::string& path) { return ::symlink(path.c_str(), path.c_str()) == 0; },
        [](const std::string& path) { return ::symlink("/dev/null", path.c_str()) == 0; },
        [](const std::string& path) { return ::symlink("/dev/zero", path.c_str()) == 0; },
    };
    for (const char* file : {"cpu/online", "node/node0/cpulist"}) {
        for (std::size_t kind = 0; kind < std::size(kinds); ++kind) {
            const FixtureTree tree;
            write_machine(tree, {"0-1", {{0, "0-1"}}, {}});
            const std::string path = tree.root() + "/" + file;
            ASSERT_EQ(::unlink(path.c_str()), 0);
            ASSERT_TRUE(kinds[kind](path)) << path;
            EXPECT_EQ(form_processor_groups(tree.root().c_str()).error, ERROR_INVALID_DATA) << file << ", kind " << kind;
        }
    }
}

TEST(SysfsTest, AFifoInTheTreeIsDamageNotAWait) {
    const FixtureTree tree;
    write_machine(tree, {"0-1", {}, {}});
    tree.write("node/node0/online", "1\n");
    ASSERT_EQ(::mkfifo((tree.root() + "/node/node0/cpulist").c_str(), 0600), 0);
    EXPECT_EQ(form_processor_groups(tree.root().c_str()).error, ERROR_INVALID_DATA);
}

}  // namespace
}  // namespace procgroups
