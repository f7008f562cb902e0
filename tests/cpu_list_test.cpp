#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "linux_topology/cpu_list.hpp"

namespace procgroups {
namespace {

std::vector<std::uint32_t> cpus_in(const CpuSet& set) {
    std::vector<std::uint32_t> cpus;
    set.for_each([&cpus](std::uint32_t cpu) { cpus.push_back(cpu); });
    return cpus;
}

struct ValidList {
    std::string text;
    std::vector<std::uint32_t> cpus;
};

class ValidCpuListTest : public testing::TestWithParam<ValidList> {};

TEST_P(ValidCpuListTest, YieldsExactlyItsCpus) {
    CpuSet set;
    ASSERT_TRUE(parse_cpu_list(GetParam().text, set));
    EXPECT_EQ(cpus_in(set), GetParam().cpus);
}

INSTANTIATE_TEST_SUITE_P(KernelFormat, ValidCpuListTest,
                         testing::Values(ValidList{"", {}}, ValidList{"\n", {}}, ValidList{"0\n", {0}},
                                         ValidList{"0-3,8,10-11\n", {0, 1, 2, 3, 8, 10, 11}},
                                         ValidList{"62-65", {62, 63, 64, 65}},
                                         ValidList{std::string("0-1\n\0\0junk", 10), {0, 1}},
                                         ValidList{std::string("\0", 1), {}},
                                         ValidList{"8191\n", {8191}}, ValidList{"0,10-11,100", {0, 10, 11, 100}}));

class MalformedCpuListTest : public testing::TestWithParam<std::string> {};

TEST_P(MalformedCpuListTest, IsRejected) {
    CpuSet set;
    EXPECT_FALSE(parse_cpu_list(GetParam(), set));
}

INSTANTIATE_TEST_SUITE_P(Damage, MalformedCpuListTest,
                         testing::Values("a", "0,", ",0", "0,,1", "3-1", "0-", "-1", " 0", "0 ", "0\n\n", "\n0",
                                         "0x1", "+1", "0--1", "0-1-2", "8192", "0-8192", "0-4294967295",
                                         "99999999999999999999", "0;1",
                                         // the kernel writes ranges ascending, apart, without leading zeros
                                         "00-01", "01", "1,0", "0,0,1,1", "0-3,2-5", "3-4,0"));

}  // namespace
}  // namespace procgroups
