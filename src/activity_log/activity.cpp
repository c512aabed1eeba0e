#include "activity_log/activity.h"

namespace activity_log {
namespace {

using logformat::ActivityState;

bool anyMatches(const std::vector<text::Pattern>& patterns, const std::string& text) {
    for (const text::Pattern& pattern : patterns) {
        if (text::matchesAnywhere(pattern, text)) {
            return true;
        }
    }
    return false;
}

// The sampler names the lock screen's owner so.
constexpr const char* lockedScreenName = "Locked screen";

} // namespace

std::vector<text::Pattern> compilePatterns(const std::vector<std::string>& patterns) {
    std::vector<text::Pattern> compiled;
    compiled.reserve(patterns.size());
    for (const std::string& pattern : patterns) {
        compiled.push_back(text::compilePattern(pattern).pattern.value_or(text::Pattern{}));
    }
    return compiled;
}

logformat::LogEvent describeSample(const std::optional<Sample>& sample,
                                   std::optional<std::int64_t> idleMs, const ActivityRules& rules,
                                   bool sessionLocked) {
    logformat::LogEvent what;
    if (sessionLocked) {
        what.state = ActivityState::locked;
        return what;
    }
    if (!sample) {
        what.state = ActivityState::unavailable;
        return what;
    }
    if (!sample->window) {
        what.state = ActivityState::none;
        return what;
    }
    what.pid = sample->pid;
    what.app = sample->name;
    what.exePath = sample->path;
    what.category = sample->category;
    if (anyMatches(rules.exclude, sample->name) || anyMatches(rules.exclude, sample->title)) {
        what.title = excludedTitle;
    } else {
        what.title = sample->title;
        what.curatedTitle = sample->curatedTitle;
        what.doc = sample->doc;
        what.url = sample->url;
    }
    if (sample->name == lockedScreenName) {
        what.state = ActivityState::locked;
    } else if (idleMs && *idleMs >= rules.idleAfterMs &&
               !anyMatches(rules.keepActive, sample->name)) {
        what.state = ActivityState::idle;
    } else {
        what.state = ActivityState::active;
    }
    return what;
}

} // namespace activity_log
