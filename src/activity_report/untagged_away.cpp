#include "activity_report/untagged_away.h"

#include "activity_report/attribution.h"
#include "activity_report/render.h"
#include "logformat/local_time.h"

#include <algorithm>

namespace report {

void UntaggedAwayFinder::addDay(const Day& day) {
    const auto noName = [](const Piece&) { return std::string_view{}; };
    for (const Stretch& stretch : attributeDay(day, tags_, noName)) {
        if (stretch.tagged || stretch.presence == Presence::active) {
            continue;
        }
        // Days come in order; one whose span reaches back into the last (its midnight at
        // another offset) adds only what is new.
        const std::int64_t from =
            spells_.empty() ? stretch.fromMs : std::max(stretch.fromMs, spells_.back().toMs);
        if (from >= stretch.toMs) {
            continue;
        }
        if (spells_.empty() || spells_.back().toMs != from) {
            spells_.push_back({from, from, {}});
        }
        AwaySpell& spell = spells_.back();
        spell.toMs = stretch.toMs;
        spell.msByPresence[static_cast<std::size_t>(stretch.presence)] += stretch.toMs - from;
    }
}

std::vector<AwaySpell> UntaggedAwayFinder::finish(std::int64_t minMs) const {
    std::vector<AwaySpell> longer;
    for (const AwaySpell& spell : spells_) {
        // Shorter than a second is no spell to tag (an idle moment as the collector
        // starts), whatever the minutes asked.
        if (spell.toMs - spell.fromMs > minMs && spell.toMs - spell.fromMs >= 1000) {
            longer.push_back(spell);
        }
    }
    return longer;
}

ShellStyle hostShellStyle() {
#ifdef _WIN32
    return ShellStyle::windows;
#else
    return ShellStyle::posix;
#endif
}

std::string shellQuoted(std::string_view argument, ShellStyle shell) {
    const std::string_view plainMarks = shell == ShellStyle::posix ? "_-.,/:+=@%" : "_-.:/\\+@";
    const auto plain = [&](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               plainMarks.find(c) != std::string_view::npos ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    bool bare = !argument.empty(), spaced = true;
    for (const char c : argument) {
        bare = bare && plain(c);
        spaced = spaced && (plain(c) || c == ' ');
    }
    if (bare) {
        return std::string(argument);
    }
    if (shell == ShellStyle::windows) {
        // Windows paths hold no double quote; a backslash before the closing quote is
        // doubled, so that the program's own parsing of its command line keeps it.
        std::string out(1, '"');
        out += argument;
        std::size_t backslashes = 0;
        for (auto c = out.rbegin(); c != out.rend() && *c == '\\'; ++c) {
            ++backslashes;
        }
        out.append(backslashes, '\\');
        out += '"';
        return out;
    }
    if (spaced) {
        std::string out(1, '"');
        out += argument;
        out += '"';
        return out;
    }
    // Nothing is special between single quotes; a single quote itself is closed, escaped
    // and opened again.
    std::string out(1, '\'');
    for (const char c : argument) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

std::string renderUntaggedAway(const std::vector<AwaySpell>& spells, int minutes,
                               const std::string& daysText, const std::string& tagDirectory,
                               const std::function<std::int32_t(std::int64_t)>& offsetAt,
                               ShellStyle shell) {
    const std::string longer =
        "longer than " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
    if (spells.empty()) {
        return "No time away or unrecorded " + longer + " without a tag, " + daysText + ".\n";
    }
    std::string out = "Away or unrecorded " + longer + " with no tag, " + daysText + ":\n";
    const char* const parts[] = {"not recorded", "unavailable", "no window", "away"};
    for (const AwaySpell& spell : spells) {
        // Whole seconds, widened: the tag covers the spell, and a second more at most.
        const std::int64_t fromMs = logformat::floorDiv(spell.fromMs, 1000) * 1000;
        const std::int64_t toMs = -logformat::floorDiv(-spell.toMs, 1000) * 1000;
        const std::string from = logformat::formatLocalTime(fromMs, offsetAt);
        const std::string to = logformat::formatLocalTime(toMs, offsetAt);
        // Its parts of a second or more: a part shorter is no part a person would name,
        // though its time stays in the spell's.
        int named = 0;
        for (const std::int64_t ms : spell.msByPresence) {
            named += ms >= 1000 ? 1 : 0;
        }
        std::string makeUp;
        for (int p = 3; p >= 0; --p) {
            const std::int64_t ms = spell.msByPresence[static_cast<std::size_t>(p)];
            if (ms >= 1000 || (named == 0 && ms > 0)) {
                makeUp += makeUp.empty() ? "" : ", ";
                makeUp += parts[p];
                if (named > 1) {
                    makeUp += ' ';
                    makeUp += formatClock(ms);
                }
            }
        }
        out += "\n" + from + " to " + (to.compare(0, 11, from, 0, 11) == 0 ? to.substr(11) : to) +
               "  " + formatClock(spell.toMs - spell.fromMs) + "  " + makeUp + "\n";
        out += "  activity-report tag";
        if (!tagDirectory.empty()) {
            out += " --dir " + shellQuoted(tagDirectory, shell);
        }
        out +=
            " --from " + shellQuoted(from, shell) + " --to " + shellQuoted(to, shell) + " LABEL\n";
    }
    return out;
}

} // namespace report
