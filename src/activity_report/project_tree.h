// Project paths as a tree, for tables people read: each level under its parent, the
// parent carrying the time of everything under it.
#pragma once

#include "activity_report/totals.h"

#include <cstdint>
#include <string>
#include <vector>

namespace report {

struct TreeRow {
    std::string path;    // "Work/Client A"
    std::string label;   // its last level: "Client A"
    int level = 0;       // 0 at the top
    std::int64_t ms = 0; // its own time and all under it
};

// ROWS (a table's, by project) in tree order: largest first among siblings, then by
// name, each followed by what lies under it.
std::vector<TreeRow> projectTree(const std::vector<Row>& rows);

} // namespace report
