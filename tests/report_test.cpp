#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tool/output_writer.hpp"
#include "tool/report.hpp"

namespace procgroups {
namespace {

// What the scripted system answers. A count of 0 fails with the error beside it.
struct Script {
    DWORD total = 8;
    DWORD total_error = 0;
    int server = 0;
    BOOL count_result = FALSE;
    DWORD count_error = ERROR_INSUFFICIENT_BUFFER;
    USHORT group_count = 1;
    std::vector<DWORD> group_counts{8};
    DWORD group_error = 0;
};

class ScriptedQueries final : public SystemQueries {
public:
    explicit ScriptedQueries(Script script) : script_(std::move(script)) {}

    DWORD GetActiveProcessorCount(WORD group_number) const override {
        if (group_number == ALL_PROCESSOR_GROUPS) {
            return answer(script_.total, script_.total_error);
        }
        EXPECT_LT(group_number, script_.group_counts.size()) << "asked for a group the script lacks";
        return group_number < script_.group_counts.size()
                   ? answer(script_.group_counts[group_number], script_.group_error)
                   : answer(0, ERROR_INVALID_PARAMETER);
    }
    int IsWindowsServer() const override { return script_.server; }
    BOOL QueryProcessGroupAffinitySize(USHORT& group_count) const override {
        EXPECT_EQ(group_count, 0) << "the count must start at 0";
        group_count = script_.group_count;
        last_error_ = script_.count_error;
        return script_.count_result;
    }
    DWORD GetLastError() const override { return last_error_; }

private:
    DWORD answer(DWORD count, DWORD error) const {
        if (count == 0) {
            last_error_ = error;
        }
        return count;
    }

    Script script_;
    mutable DWORD last_error_ = 0;
};

struct ReportCase {
    const char* name;
    Script script;
    const char* output;
    int status;
};

const char* const kHeader = "IsWindowsServer: 0\nActive processor count across all processor groups: 8\n";

std::string header_then(const char* rest) {
    return std::string(kHeader) + rest;
}

class ReportTest : public testing::TestWithParam<ReportCase> {};

TEST_P(ReportTest, WritesExactlyTheExpectedBytesAndStatus) {
    const ReportCase& c = GetParam();
    const std::filesystem::path path = std::filesystem::temp_directory_path() / (std::string("report-") + c.name);
    std::FILE* stream = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    OutputWriter out(stream);
    const int status = run_report(ScriptedQueries(c.script), out);
    ASSERT_EQ(out.close(), 0);

    std::ifstream file(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    std::filesystem::remove(path);
    EXPECT_EQ(written, c.output);
    EXPECT_EQ(status, c.status);
}

const std::string kOneGroup = header_then("Active processors per group: 8,");
const std::string kTwoGroups = header_then("Active processors per group: 4,4,");
const std::string kServer = "IsWindowsServer: 1\nActive processor count across all processor groups: 8\n"
                            "Active processors per group: 8,";
const std::string kSuccess = header_then("Unexpected GetProcessGroupAffinity success result.\n");
const std::string kQueryFailed = header_then("GetProcessGroupAffinity failed with error: 57\n");
const std::string kNoGroups = header_then("Unexpected group count of 0 from GetProcessGroupAffinity.\n");
const std::string kGroupFailed =
    header_then("Active processors per group: 8,GetActiveProcessorCount(1) failed with error: 57\n");
const std::string kHighGroupFailed =
    header_then("Active processors per group: 64,64,GetActiveProcessorCount(2) failed with error: deadbeef\n");

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ReportTest,
    testing::Values(
        ReportCase{"one_group", {}, kOneGroup.c_str(), 0},
        ReportCase{"two_groups", {.group_count = 2, .group_counts = {4, 4}}, kTwoGroups.c_str(), 0},
        ReportCase{"server_edition", {.server = 1}, kServer.c_str(), 0},
        ReportCase{"total_fails", {.total = 0, .total_error = 31}, "GetActiveProcessorCount failed with error: 1f\n", 1},
        ReportCase{"size_query_succeeds", {.count_result = TRUE}, kSuccess.c_str(), 1},
        ReportCase{"size_query_fails", {.count_error = 87}, kQueryFailed.c_str(), 1},
        ReportCase{"no_groups", {.group_count = 0}, kNoGroups.c_str(), 1},
        ReportCase{"group_one_fails", {.group_count = 2, .group_counts = {8, 0}, .group_error = 87},
                   kGroupFailed.c_str(), 1},
        ReportCase{"wide_error_code",
                   {.group_count = 3, .group_counts = {64, 64, 0}, .group_error = 0xdeadbeef},
                   kHighGroupFailed.c_str(), 1}),
    [](const testing::TestParamInfo<ReportCase>& p) { return p.param.name; });

#ifdef __GLIBC__
// A write that fails only at close, as on NFS, where no file here can be made to.
TEST(OutputWriterTest, AFailureAtCloseIsAWriteError) {
    cookie_io_functions_t failing_close{};
    failing_close.write = [](void* /*cookie*/, const char* /*bytes*/, std::size_t size) {
        return static_cast<ssize_t>(size);
    };
    failing_close.close = [](void* /*cookie*/) {
        errno = EIO;
        return -1;
    };
    std::FILE* stream = ::fopencookie(nullptr, "w", failing_close);
    ASSERT_NE(stream, nullptr);
    OutputWriter out(stream);
    out.print("%d,", 8);
    EXPECT_EQ(out.close(), EIO);
}
#endif

}  // namespace
}  // namespace procgroups
