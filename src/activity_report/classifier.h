// Which project an active event's time counts under, by the user's rules. The rules are
// applied when the report runs, never stored in the log, so that a change applies to
// every past day at once.
#pragma once

#include "activity_report/rules.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

    // The same for a reader that knows its next events: a year's combinations don't fit
    // in the processor's cache, so the memory a lookup reads is asked for while the
    // events before it are read. PREPARE as an event is read, WARM some events later,
    // then PROJECT_OF with the same AHEAD.
    struct Ahead {
        std::string key;
        std::uint64_t hash = 0;
    };
    void prepare(const logformat::LogEvent& event, Ahead& ahead) const;
    void warm(const Ahead& ahead) const;
    std::string_view projectOf(const logformat::LogEvent& event, const Ahead& ahead);

    const RuleSet& rules() const { return rules_; }
    std::size_t distinctCombinations() const { return entries_; }

  private:
    // The bytes of the fields the rules read, each with its length ahead of it, so that
    // two combinations have the same key only when they are the same.
    void makeKey(const logformat::LogEvent& event, std::string& key) const;
    std::string_view lookUp(const logformat::LogEvent& event, const std::string& key,
                            std::uint64_t hash);
    std::string_view nameOf(std::size_t rule) const;

    // The cache: open addressing over a power of two of slots, the keys' bytes kept one
    // after another in one string, so that a lookup touches a slot and one key, not a
    // chain of nodes and their separately allocated strings. A slot is 16 bytes, four to
    // a cache line: a year's combinations don't fit in the processor's cache, and each
    // lookup's first miss is the slot.
    struct Slot {
        std::uint32_t check = 0;  // the hash's high half: most other keys differ in it
        std::uint32_t offset = 0; // into KEYS_
        std::uint32_t length = 0;
        std::uint32_t rulePlusOne = 0; // 0: an empty slot
    };
    static std::uint64_t hashOf(std::string_view key);
    // The slot it took.
    std::size_t insert(std::uint64_t hash, std::uint32_t rule, const std::string& key);
    bool holds(const Slot& slot, const std::string& key) const; // whether SLOT holds KEY
    void grow();

    RuleSet rules_;
    std::vector<Slot> slots_;
    std::string keys_;
    std::size_t entries_ = 0;
    std::string key_;
    std::size_t lastSlot_ = 0; // the last event's, when HAVE_LAST_
    bool haveLast_ = false;
};

} // namespace report
