#include <cstdio>
#include <cstring>

#include "tool/output_writer.hpp"
#include "tool/report.hpp"
#include "tool/system_queries.hpp"

// Arguments are accepted and ignored.
int main() {
    procgroups::OutputWriter out(stdout);
    const procgroups::PlatformQueries queries;
    const int status = procgroups::run_report(queries, out);

    // A report that never reached its reader is not a success.
    if (const int write_error = out.close(); write_error != 0) {
        procgroups::OutputWriter(stderr).print("procgroups: write error: %s\n", std::strerror(write_error));
        return 1;
    }
    return status;
}
