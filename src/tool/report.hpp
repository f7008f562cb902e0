#pragma once

#include "tool/output_writer.hpp"
#include "tool/system_queries.hpp"

namespace procgroups {

// Asks the queries in the report's fixed order and writes each answer. Returns
// the exit status: 0 for a complete per-group listing, 1 at the first failure.
[[nodiscard]] int run_report(const SystemQueries& queries, OutputWriter& out);

}  // namespace procgroups
