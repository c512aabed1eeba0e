// --untagged-away: the spells the log can't name (away from the desk, no window, not
// recorded at all) that no tag lies over yet, each with the command that tags it, so
// that a person can label a morning of meetings in a minute.
#pragma once

#include "activity_report/day_log.h"
#include "activity_report/tags.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace report {

struct AwaySpell {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    // Its time per presence below active: not recorded, unavailable, no window, away.
    std::array<std::int64_t, 4> msByPresence{};
};

// Gathers the spells day by day; one that runs on past midnight is one spell.
class UntaggedAwayFinder {
  public:
    explicit UntaggedAwayFinder(const std::vector<Tag>& tags) : tags_(tags) {}
    void addDay(const Day& day);
    // The spells longer than MIN_MS, in order.
    std::vector<AwaySpell> finish(std::int64_t minMs) const;

  private:
    const std::vector<Tag>& tags_;
    std::vector<AwaySpell> spells_;
};

// How a command line is quoted: a POSIX shell's, or cmd's and PowerShell's.
enum class ShellStyle { posix, windows };
// This system's.
ShellStyle hostShellStyle();

// ARGUMENT as one word for SHELL, quoted only when it must be.
std::string shellQuoted(std::string_view argument, ShellStyle shell);

// The list: a heading, then per spell its times, length and make-up, and the command
// that tags it (with --dir TAG_DIRECTORY unless that is empty), times in the machine's
// local time by OFFSET_AT, widened to whole seconds.
std::string renderUntaggedAway(const std::vector<AwaySpell>& spells, int minutes,
                               const std::string& daysText, const std::string& tagDirectory,
                               const std::function<std::int32_t(std::int64_t)>& offsetAt,
                               ShellStyle shell);

} // namespace report
