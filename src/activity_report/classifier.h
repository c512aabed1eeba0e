// Which project an active event's time counts under, by the user's rules. The rules are
// applied when the report runs, never stored in the log, so that a change applies to
// every past day at once.
#pragma once

#include "activity_report/rules.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace report {

inline constexpr std::string_view uncategorised = "Uncategorised";

// Classifies each distinct combination of the fields the rules read once per run: a
// year holds a million events but far fewer distinct windows, and consecutive events
// often repeat one.
class ProjectClassifier {
  public:
    ProjectClassifier() = default; // no rules: everything is Uncategorised
    explicit ProjectClassifier(RuleSet rules);

    // The event's project path, "Uncategorised" when no rule matches.
    std::string_view projectOf(const logformat::LogEvent& event);

    const RuleSet& rules() const { return rules_; }
    std::size_t distinctCombinations() const { return cache_.size(); }

  private:
    // The bytes of the fields the rules read, each with its length ahead of it, so that
    // two combinations have the same key only when they are the same.
    void makeKey(const logformat::LogEvent& event);
    std::string_view nameOf(std::size_t rule) const;

    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const {
            return std::hash<std::string_view>{}(key);
        }
    };

    RuleSet rules_;
    std::unordered_map<std::string, std::uint32_t, KeyHash, std::equal_to<>> cache_;
    std::string key_;
    std::string lastKey_;
    std::uint32_t lastRule_ = 0;
    bool haveLast_ = false;
};

} // namespace report
