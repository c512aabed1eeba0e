// Which project an active event's time counts under, by the user's rules. The rules are
// applied when the report runs, never stored in the log, so that a change applies to
// every past day at once.
#pragma once

#include "activity_report/rules.h"
#include "activity_report/value_memo.h"

#include <array>
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

    // The same for a reader that knows its next events: a year's titles don't fit in the
    // processor's cache, so the memory a lookup reads is asked for while the events
    // before it are read. PREPARE as an event is read (it looks up the fields with few
    // values at once), WARM some events later, then PROJECT_OF with the same AHEAD.
    static constexpr std::size_t keyCount = ruleFieldCount + 1; // the fields, the category
    struct Ahead {
        std::vector<std::uint64_t> allowed; // by the keys looked up so far
        std::array<std::uint64_t, keyCount> hashes{};
        unsigned done = 0;   // the keys looked up, or of no consequence, by index
        unsigned hashed = 0; // the keys whose HASHES are set
    };
    void prepare(const logformat::LogEvent& event, Ahead& ahead);
    void warm(const Ahead& ahead) const;
    std::string_view projectOf(const logformat::LogEvent& event, Ahead& ahead);

    const RuleSet& rules() const { return rules_; }
    // How many distinct values were matched against the rules so far.
    std::size_t distinctValues() const;

  private:
    // What the rules read of an event: a text field, or (the last) its category.
    struct Key {
        std::size_t index = 0; // a RuleField, or ruleFieldCount for the category
        ValueMemo memo;
        std::vector<std::uint64_t> names; // the rules that name it
    };
    static std::string_view valueOf(const logformat::LogEvent& event, std::size_t index);
    // Whether the first rule AHEAD allows names no key still to be looked up, so that
    // none of them can change it.
    bool settled(const Ahead& ahead) const;
    // Whether key K could still take away the first rule AHEAD allows.
    bool matters(std::size_t k, const Ahead& ahead) const;
    void lookUp(std::size_t k, const logformat::LogEvent& event, Ahead& ahead);
    // A new event: nothing looked up, and now and then the keys sorted again.
    void begin(Ahead& ahead);
    std::string_view nameOf(const Ahead& ahead) const;

    RuleSet rules_;
    std::size_t words_ = 0;
    std::vector<Key> keys_;
    std::vector<std::size_t> order_; // keys_ by how many values they hold, fewest first
    std::size_t sinceReorder_ = 0;
    std::vector<std::uint64_t> fresh_; // scratch for a value's mask
    std::vector<int> matched_;
    Ahead now_; // for events classified without a look-ahead
};

} // namespace report
