// The user's rules, which put active time into projects: a TOML file of [[rule]]
// tables, tried in order, the first that matches naming the project; and [[app]]
// tables, the user's own names and categories for programs.
#pragma once

#include "activity_report/app_names.h"
#include "logformat/log_event.h"
#include "text/pattern.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace report {

// The text fields a rule can match, in the order of their keys in the file.
enum class RuleField { app, title, doc, url, exePath };
inline constexpr std::size_t ruleFieldCount = 5;

// The rules file's key of a field ("exe_path"), and the event's text of it.
std::string_view ruleFieldKey(RuleField field);
std::string_view ruleFieldText(const logformat::LogEvent& event, RuleField field);

// One rule: every field it names must match (a rule naming none matches everything).
struct Rule {
    std::string project; // "Work/Client A"
    std::array<std::optional<text::Pattern>, ruleFieldCount> patterns;
    std::vector<std::int64_t> categories; // any of these; empty when the rule names none
    bool matchesCategory = false;
    int line = 0; // in the file, for messages
};

// The rules in their order, with, per field, the patterns of every rule that names it
// matched in one pass over the text.
struct RuleSet {
    std::vector<Rule> rules;
    std::array<text::PatternSet, ruleFieldCount> sets;
    std::array<std::vector<std::uint32_t>, ruleFieldCount> setRules; // set member -> rule
    unsigned textFields = 0;   // logformat::textField bits the rules read
    bool usesCategory = false; // whether any rule names categories
    AppNames apps;             // the [[app]] tables
    // Names these rules in the day summaries, whose project totals hold for them alone:
    // the file's text, hashed with how this program reads it; "none" for no file.
    std::string digest = "none";
};

struct RulesRead {
    std::optional<RuleSet> rules; // none: ERROR says why
    std::string error;            // "rules.toml:12: rule 3: title: missing ): ("
    bool missing = false;         // no such file (the default one): no rules
};

// The rules of TOML_TEXT, from a file called NAME in messages.
RulesRead parseRules(std::string_view tomlText, std::string_view name);

// The rules of FILE. A file that isn't there is no rules when it is only the default
// (REQUIRED false), and an error when the user named it.
RulesRead readRulesFile(const std::filesystem::path& file, bool required);

// Rules as bits, 64 to a word: bit R of word R / 64 stands for rule R. A field's value
// or a category allows the rules that don't name it and those whose pattern or category
// it matches; the first rule allowed by all of an event's is the one that matches it.
std::size_t ruleMaskWords(const RuleSet& rules);
// Into MASK (ruleMaskWords words); MATCHED is scratch storage.
void allowedByText(const RuleSet& rules, RuleField field, std::string_view text,
                   std::uint64_t* mask, std::vector<int>& matched);
void allowedByCategory(const RuleSet& rules, std::int64_t category, std::uint64_t* mask);
// The first rule MASK allows, or RULES.rules.size() when it allows none.
std::size_t firstAllowed(const RuleSet& rules, const std::uint64_t* mask);

// The index of the first rule that matches EVENT, or RULES.rules.size() when none does.
std::size_t firstMatch(const RuleSet& rules, const logformat::LogEvent& event);

// The same, each rule's patterns tried on their own: what the per-field sets must agree
// with.
std::size_t firstMatchOneByOne(const RuleSet& rules, const logformat::LogEvent& event);

} // namespace report
