#include <sched.h>

#include <vector>

#include <gtest/gtest.h>

#include "fixture_tree.hpp"
#include "win32/linux/group_queries.hpp"

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
