#include "activity_report/classifier.h"

#include <cstring>

namespace report {

namespace {

// Past this many combinations the cache starts again, so that a log of endless distinct
// titles can't hold the report's memory.
constexpr std::size_t cacheLimit = std::size_t{1} << 20;

void appendField(std::string& key, std::string_view text) {
    const auto length = static_cast<std::uint32_t>(text.size());
    char bytes[sizeof length];
    std::memcpy(bytes, &length, sizeof length);
    key.append(bytes, sizeof bytes);
    key.append(text);
}

} // namespace

ProjectClassifier::ProjectClassifier(RuleSet rules) : rules_(std::move(rules)) {}

void ProjectClassifier::makeKey(const logformat::LogEvent& event) {
    key_.clear();
    for (std::size_t f = 0; f < ruleFieldCount; ++f) {
        if (!rules_.sets[f].compiled) {
            continue;
        }
        appendField(key_, ruleFieldText(event, static_cast<RuleField>(f)));
    }
    if (rules_.usesCategory) {
        char bytes[sizeof event.category];
        std::memcpy(bytes, &event.category, sizeof bytes);
        key_.append(bytes, sizeof bytes);
    }
}

std::string_view ProjectClassifier::nameOf(std::size_t rule) const {
    return rule < rules_.rules.size() ? std::string_view(rules_.rules[rule].project)
                                      : uncategorised;
}

std::string_view ProjectClassifier::projectOf(const logformat::LogEvent& event) {
    if (rules_.rules.empty()) {
        return uncategorised;
    }
    makeKey(event);
    // Consecutive events are often the same window in another state, or the same one
    // again after a moment elsewhere.
    if (haveLast_ && key_ == lastKey_) {
        return nameOf(lastRule_);
    }
    std::uint32_t rule = 0;
    if (const auto found = cache_.find(std::string_view(key_)); found != cache_.end()) {
        rule = found->second;
    } else {
        rule = static_cast<std::uint32_t>(firstMatch(rules_, event));
        if (cache_.size() >= cacheLimit) {
            cache_.clear();
        }
        cache_.emplace(key_, rule);
    }
    lastKey_.assign(key_);
    lastRule_ = rule;
    haveLast_ = true;
    return nameOf(rule);
}

} // namespace report
