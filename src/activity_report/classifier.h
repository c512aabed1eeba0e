// Which project an active event's time counts under, by the user's rules. The rules are
// applied when the report runs, never stored in the log, so that a change applies to
// every past day at once.
#pragma once

#include "activity_report/rules.h"
#include "activity_report/value_memo.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace report {

inline constexpr std::string_view uncategorised = "Uncategorised";

// A rule matches when every field it names does, so which rules an event's title allows
// depends on the title alone: each distinct value of each field the rules read (and
// each category) is matched once per run and its answer kept. A year holds a million
// events but far fewer distinct titles, and only a dozen distinct programs; an event
// then costs a lookup per field and an AND of their answers, and fewer lookups once the
// fields looked at have settled the answer.
class ProjectClassifier {
  public:
    ProjectClassifier() = default; // no rules: everything is Uncategorised
    explicit ProjectClassifier(RuleSet rules);

    // The event's project path, "Uncategorised" when no rule matches.
    std::string_view projectOf(const logformat::LogEvent& event);

    const RuleSet& rules() const { return rules_; }
    // How many distinct values were matched against the rules so far.
    std::size_t distinctValues() const;

  private:
    static constexpr std::size_t keyCount = ruleFieldCount + 1; // the fields, the category
    // One event's lookups so far.
    struct Lookup {
        std::vector<std::uint64_t> allowed; // by the keys looked up so far
        unsigned done = 0;                  // the keys looked up, or of no consequence
    };
    std::string_view projectOf(const logformat::LogEvent& event, Lookup& lookup);

    // What the rules read of an event: a text field, or (the last) its category.
    struct Key {
        std::size_t index = 0; // a RuleField, or ruleFieldCount for the category
        ValueMemo memo;
        std::vector<std::uint64_t> names; // the rules that name it
    };
    static std::string_view valueOf(const logformat::LogEvent& event, std::size_t index);
    // Whether the first rule AHEAD allows names no key still to be looked up, so that
    // none of them can change it.
    bool settled(const Lookup& lookup) const;
    // Whether key K could still take away the first rule AHEAD allows.
    bool matters(std::size_t k, const Lookup& lookup) const;
    void lookUp(std::size_t k, const logformat::LogEvent& event, Lookup& lookup);
    // A new event: nothing looked up, and now and then the keys sorted again.
    void begin(Lookup& lookup);
    std::string_view nameOf(const Lookup& lookup) const;

    RuleSet rules_;
    std::size_t words_ = 0;
    std::vector<Key> keys_;
    std::vector<std::size_t> order_; // keys_ by how many values they hold, fewest first
    std::size_t sinceReorder_ = 0;
    std::vector<std::uint64_t> fresh_; // scratch for a value's mask
    std::vector<int> matched_;
    Lookup now_;
};

} // namespace report
