#include <sched.h>

#include <cerrno>
#include <vector>

#include <gtest/gtest.h>

#include "fixture_tree.hpp"
#include "linux_kernel32/group_queries.hpp"

namespace procgroups {
namespace {

// CPU 0 and CPU 1 of this machine land in different groups of the fixture, so
// the process's real affinity decides which groups it is in.
class GroupQueriesTest : public testing::Test {
protected:
    void SetUp() override {
        write_machine(tree_, {"0-127", {{0, "0,2-64"}, {1, "1,65-127"}}, {}});
        groups_ = form_processor_groups(tree_.root().c_str());
        ASSERT_EQ(groups_.error, 0U);
        ASSERT_EQ(::sched_getaffinity(0, sizeof(saved_), &saved_), 0);
    }
    void TearDown() override { ::sched_setaffinity(0, sizeof(saved_), &saved_); }

    // Returns false when this machine cannot run on those CPUs.
    static bool run_on(const std::vector<unsigned>& cpus) {
        cpu_set_t set;
        CPU_ZERO(&set);
        for (const unsigned cpu : cpus) {
            CPU_SET(cpu, &set);
        }
        return ::sched_setaffinity(0, sizeof(set), &set) == 0;
    }

    FixtureTree tree_;
    ProcessorGroups groups_;
    cpu_set_t saved_{};
};

TEST_F(GroupQueriesTest, ListsTheGroupsOfTheProcessAffinity) {
    const struct {
        std::vector<unsigned> cpus;
        std::vector<USHORT> groups;
    } cases[] = {{{0}, {0}}, {{1}, {1}}, {{0, 1}, {0, 1}}};
    for (const auto& c : cases) {
        if (!run_on(c.cpus)) {
            GTEST_SKIP() << "this machine has fewer than two CPUs to run on";
        }
        USHORT count = 0;
        SetLastError(0);
        EXPECT_EQ(process_group_affinity(groups_, GetCurrentProcess(), &count, nullptr), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        ASSERT_EQ(count, c.groups.size());

        std::vector<USHORT> numbers(4, 0xbeef);
        count = 4;
        EXPECT_EQ(process_group_affinity(groups_, GetCurrentProcess(), &count, numbers.data()), TRUE);
        ASSERT_EQ(count, c.groups.size());
        numbers.resize(count);
        EXPECT_EQ(numbers, c.groups);
    }
}

TEST_F(GroupQueriesTest, RefusesBadArgumentsWithWindowsCodes) {
    USHORT count = 8;
    const struct {
        HANDLE process;
        PUSHORT count;
        DWORD error;
    } cases[] = {{nullptr, &count, ERROR_INVALID_HANDLE},
                 {GetCurrentProcess(), nullptr, ERROR_NOACCESS},
                 {GetCurrentProcess(), &count, ERROR_NOACCESS}};  // room for the groups, but no array
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(process_group_affinity(groups_, c.process, c.count, nullptr), FALSE);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(GroupQueriesTest, CountsProcessorsPerGroupAndInAll) {
    EXPECT_EQ(active_processor_count(groups_, ALL_PROCESSOR_GROUPS), 128U);
    EXPECT_EQ(active_processor_count(groups_, 0), 64U);
    EXPECT_EQ(active_processor_count(groups_, 1), 64U);
    SetLastError(0);
    EXPECT_EQ(active_processor_count(groups_, 2), 0U);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// The kernel refuses a mask smaller than its CPU count with EINVAL. This one
// has kCpus CPUs and lets the process run on the first and the last.
template <std::size_t kCpus>
int affinity_on_first_and_last(pid_t /*pid*/, std::size_t size, cpu_set_t* mask) {
    if (size * 8 < kCpus) {
        errno = EINVAL;
        return -1;
    }
    CPU_ZERO_S(size, mask);
    CPU_SET_S(0, size, mask);
    CPU_SET_S(kCpus - 1, size, mask);
    return 0;
}

template <int kError>
int refused(pid_t /*pid*/, std::size_t /*size*/, cpu_set_t* /*mask*/) {
    errno = kError;
    return -1;
}

// The first and the last CPU of a machine of `cpus`, each in a group of its own.
ProcessorGroups first_and_last_apart(std::size_t cpus) {
    ProcessorGroups groups;
    groups.online_count = 2;
    groups.group_sizes = {1, 1};
    groups.group_of_cpu.assign(cpus, kNoGroup);
    groups.group_of_cpu.front() = 0;
    groups.group_of_cpu.back() = 1;
    return groups;
}

TEST(ProcessAffinityTest, GrowsTheMaskUntilTheKernelTakesIt) {
    const struct {
        std::size_t cpus;
        AffinityFunction affinity;
    } cases[] = {{2048, affinity_on_first_and_last<2048>},
                 {8192, affinity_on_first_and_last<8192>}};
    for (const auto& c : cases) {
        USHORT count = 0;
        SetLastError(0);
        EXPECT_EQ(process_group_affinity(first_and_last_apart(c.cpus), GetCurrentProcess(), &count, nullptr, c.affinity),
                  FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER) << c.cpus << " CPUs";
        EXPECT_EQ(count, 2) << c.cpus << " CPUs";
    }
}

TEST(ProcessAffinityTest, ARefusalFailsWithItsWin32Code) {
    const struct {
        AffinityFunction affinity;
        DWORD error;
    } cases[] = {{refused<EPERM>, ERROR_ACCESS_DENIED},
                 {refused<ENOMEM>, ERROR_NOT_ENOUGH_MEMORY},
                 // Still refused at the largest mask Linux can need: not a size problem.
                 {refused<EINVAL>, ERROR_GEN_FAILURE}};
    for (const auto& c : cases) {
        USHORT count = 0;
        SetLastError(0);
        EXPECT_EQ(process_group_affinity(first_and_last_apart(2048), GetCurrentProcess(), &count, nullptr, c.affinity),
                  FALSE);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST(UnreadableTopologyTest, FailsEveryQueryWithItsReason) {
    ProcessorGroups unreadable;
    unreadable.error = ERROR_INVALID_DATA;
    USHORT count = 0;
    for (const WORD group : {ALL_PROCESSOR_GROUPS, WORD{0}}) {
        SetLastError(0);
        EXPECT_EQ(active_processor_count(unreadable, group), 0U);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
    }
    SetLastError(0);
    EXPECT_EQ(process_group_affinity(unreadable, GetCurrentProcess(), &count, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
}

}  // namespace
}  // namespace procgroups
