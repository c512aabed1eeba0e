// Project paths as a tree, for tables people read: each level under its parent, the
// parent carrying the time of everything under it.
#pragma once

#include "activity_report/totals.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace report {

// The most levels a project path may have, in a rule or a tag's label: as many as the
// text table's name column can indent and still show.
inline constexpr std::size_t maxProjectLevels = 16;

// "Work/Client A" has 2.
std::size_t projectLevels(std::string_view path);

struct TreeRow {
    std::string label;   // its last level: "Client A"
    int level = 0;       // 0 at the top
    std::int64_t ms = 0; // its own time and all under it
};

// ROWS (a table's, by project) in tree order: largest first among siblings, then by
// name, each followed by what lies under it. Made without recursion, in time and memory
// linear in the paths' length, whatever their depth.
std::vector<TreeRow> projectTree(const std::vector<Row>& rows);

} // namespace report
