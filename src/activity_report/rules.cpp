#include "activity_report/rules.h"

#include "activity_report/categories.h"
#include "activity_report/project_tree.h"
#include "activity_report/value_memo.h"
#include "text/utf8_path.h"

#include <toml++/toml.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <tuple>

namespace report {

namespace {

constexpr std::array<std::string_view, ruleFieldCount> fieldKeys = {"app", "title", "doc", "url",
                                                                    "exe_path"};
constexpr std::array<unsigned, ruleFieldCount> fieldBits = {
    logformat::textField::app, logformat::textField::title, logformat::textField::doc,
    logformat::textField::url, logformat::textField::exePath};

// A rule's error, where it lies: "rules.toml:12: rule 3: title: missing )".
struct Problem {
    int line = 0;
    std::size_t rule = 0; // 1-based; 0 when not inside one
    std::string key;
    std::string message;
    std::string_view table = "rule"; // or "app": which kind RULE counts
};

std::string describe(std::string_view name, const Problem& problem) {
    std::string out(name);
    out += ":" + std::to_string(problem.line) + ":";
    if (problem.rule > 0) {
        out += " " + std::string(problem.table) + " " + std::to_string(problem.rule) + ":";
    }
    if (!problem.key.empty()) {
        out += " " + problem.key + ":";
    }
    return out + " " + problem.message;
}

int lineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

std::string_view typeName(const toml::node& node) {
    switch (node.type()) {
    case toml::node_type::string:
        return "a string";
    case toml::node_type::integer:
        return "a number";
    case toml::node_type::floating_point:
        return "a fractional number";
    case toml::node_type::boolean:
        return "true or false";
    case toml::node_type::array:
        return "a list";
    case toml::node_type::table:
        return "a table";
    default:
        return "a date or time";
    }
}

// "Work / Client A" is "Work/Client A"; an empty level is a mistake, and so are more
// levels than a table can show.
std::optional<std::string> projectPath(std::string_view text, std::string& why) {
    if (projectLevels(text) > maxProjectLevels) {
        why = "has more than " + std::to_string(maxProjectLevels) + " levels";
        return std::nullopt;
    }
    std::string path;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = text.find('/', from);
        std::string_view level = text.substr(
            from, slash == std::string_view::npos ? std::string_view::npos : slash - from);
        while (!level.empty() && (level.front() == ' ' || level.front() == '\t')) {
            level.remove_prefix(1);
        }
        while (!level.empty() && (level.back() == ' ' || level.back() == '\t')) {
            level.remove_suffix(1);
        }
        if (level.empty()) {
            why = text.empty() ? "is empty" : "has an empty level: \"" + std::string(text) + "\"";
            return std::nullopt;
        }
        if (!path.empty()) {
            path += '/';
        }
        path += level;
        if (slash == std::string_view::npos) {
            return path;
        }
        from = slash + 1;
    }
}

std::optional<std::int64_t> categoryOf(const toml::node& node, std::string& why) {
    // A category no application has would match nothing: a slip, said at once.
    if (const auto* number = node.as_integer()) {
        if (categoryExists(number->get())) {
            return number->get();
        }
        why = "no category has the number " + std::to_string(number->get()) +
              " (they are 0 to 17, the report's Other, Browser, ... 3D model)";
        return std::nullopt;
    }
    if (const auto* name = node.as_string()) {
        if (const auto found = categoryNumber(name->get())) {
            return found;
        }
        why = "no category is called \"" + name->get() +
              "\" (the names are the report's: Other, Browser, Message, ... 3D model; or a "
              "number, 0 to 17)";
        return std::nullopt;
    }
    why = "a category is a number or a name, not " + std::string(typeName(node));
    return std::nullopt;
}

// One [[rule]] table into RULE; the patterns' sources and options into SOURCES.
std::optional<Problem>
readRule(const toml::table& table, std::size_t index, Rule& rule,
         std::array<std::optional<text::PatternSource>, ruleFieldCount>& sources) {
    Problem problem;
    problem.rule = index;
    problem.line = lineOf(table);
    const auto fail = [&](const toml::node& node, std::string_view key, std::string message) {
        problem.line = lineOf(node);
        problem.key = key;
        problem.message = std::move(message);
        return problem;
    };
    bool ignoreCase = false;
    if (const toml::node* node = table.get("ignore_case")) {
        const auto* flag = node->as_boolean();
        if (flag == nullptr) {
            return fail(*node, "ignore_case",
                        "is true or false, not " + std::string(typeName(*node)));
        }
        ignoreCase = flag->get();
    }
    bool haveProject = false;
    for (const auto& [key, node] : table) {
        const std::string_view name = key.str();
        if (name == "ignore_case") {
            continue;
        }
        if (name == "project") {
            const auto* text = node.as_string();
            if (text == nullptr) {
                return fail(node, name, "is a string, not " + std::string(typeName(node)));
            }
            std::string why;
            auto path = projectPath(text->get(), why);
            if (!path) {
                return fail(node, name, why);
            }
            rule.project = std::move(*path);
            haveProject = true;
            continue;
        }
        if (name == "category") {
            std::string why;
            if (const auto* list = node.as_array()) {
                if (list->empty()) {
                    return fail(node, name, "an empty list matches nothing");
                }
                for (const toml::node& element : *list) {
                    const auto number = categoryOf(element, why);
                    if (!number) {
                        return fail(element, name, why);
                    }
                    rule.categories.push_back(*number);
                }
            } else {
                const auto number = categoryOf(node, why);
                if (!number) {
                    return fail(node, name, why);
                }
                rule.categories.push_back(*number);
            }
            rule.matchesCategory = true;
            continue;
        }
        std::size_t field = 0;
        while (field < ruleFieldCount && fieldKeys[field] != name) {
            ++field;
        }
        if (field == ruleFieldCount) {
            return fail(node, name,
                        "not a key of a rule (they are project, app, title, doc, url, exe_path, "
                        "category, ignore_case)");
        }
        const auto* text = node.as_string();
        if (text == nullptr) {
            return fail(node, name, "is a pattern, a string, not " + std::string(typeName(node)));
        }
        text::CompiledPattern compiled = text::compilePattern(text->get(), {ignoreCase});
        if (!compiled.pattern) {
            return fail(node, name, compiled.error);
        }
        rule.patterns[field] = std::move(compiled.pattern);
        sources[field] = text::PatternSource{text->get(), {ignoreCase}};
    }
    if (!haveProject) {
        problem.message = "names no project (project = \"Work/Client A\")";
        return problem;
    }
    return std::nullopt;
}

// One [[app]] table into APP.
std::optional<Problem> readApp(const toml::table& table, std::size_t index, AppName& app) {
    Problem problem;
    problem.rule = index;
    problem.table = "app";
    problem.line = lineOf(table);
    const auto fail = [&](const toml::node& node, std::string_view key, std::string message) {
        problem.line = lineOf(node);
        problem.key = key;
        problem.message = std::move(message);
        return problem;
    };
    // A name is for reading and a file name short: anything longer is a slip.
    constexpr std::size_t longestText = 255;
    for (const auto& [key, node] : table) {
        const std::string_view name = key.str();
        if (name == "category") {
            std::string why;
            app.category = categoryOf(node, why);
            if (!app.category) {
                return fail(node, name, why);
            }
            continue;
        }
        if (name != "exe" && name != "name") {
            return fail(node, name, "not a key of an app (they are exe, name, category)");
        }
        const auto* text = node.as_string();
        if (text == nullptr) {
            return fail(node, name, "is a string, not " + std::string(typeName(node)));
        }
        const std::string& value = text->get();
        if (value.empty() || value.size() > longestText) {
            return fail(node, name,
                        value.empty() ? "is empty"
                                      : "is longer than " + std::to_string(longestText) + " bytes");
        }
        if (name == "name") {
            app.name = value;
        } else if (value.find_first_of("/\\") != std::string::npos) {
            return fail(node, name,
                        "is the executable's file name (\"backup-tool\", \"Backup.exe\"), not a "
                        "path");
        } else {
            app.exe = value;
        }
    }
    if (app.exe.empty()) {
        problem.message = "names no exe (exe = \"backup-tool\")";
        return problem;
    }
    if (!app.name && !app.category) {
        problem.message = "gives neither a name nor a category for " + app.exe;
        return problem;
    }
    return std::nullopt;
}

// Every [[app]] table of LIST into APPS.
std::optional<Problem> readApps(const toml::array& list, AppNames& apps) {
    for (const toml::node& element : list) {
        AppName app;
        const std::size_t index = apps.apps.size() + 1;
        if (auto problem = readApp(*element.as_table(), index, app)) {
            return problem;
        }
        app.line = lineOf(element);
        int firstLine = 0;
        if (!apps.add(app, firstLine)) {
            return Problem{lineOf(*element.as_table()->get("exe")), index, "exe",
                           "the app at line " + std::to_string(firstLine) + " names " + app.exe +
                               " already",
                           "app"};
        }
    }
    return std::nullopt;
}

// The table a line of the file lies in, for a syntax error: the count of [[rule]] or
// [[app]] headers before it, of the kind of the last one.
std::pair<std::string_view, std::size_t> tableAtLine(std::string_view text, int line) {
    std::size_t rules = 0;
    std::size_t apps = 0;
    std::string_view last = "rule";
    int at = 1;
    std::size_t from = 0;
    while (at <= line && from <= text.size()) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        std::string_view content = text.substr(from, end - from);
        while (!content.empty() && (content.front() == ' ' || content.front() == '\t')) {
            content.remove_prefix(1);
        }
        std::string compact;
        for (const char c : content) {
            if (c != ' ' && c != '\t') {
                compact += c;
            }
        }
        if (compact.rfind("[[rule]]", 0) == 0) {
            ++rules;
            last = "rule";
        } else if (compact.rfind("[[app]]", 0) == 0) {
            ++apps;
            last = "app";
        }
        from = end + 1;
        ++at;
    }
    return {last, last == "app" ? apps : rules};
}

} // namespace

std::string_view ruleFieldKey(RuleField field) {
    return fieldKeys[static_cast<std::size_t>(field)];
}

std::string_view ruleFieldText(const logformat::LogEvent& event, RuleField field) {
    switch (field) {
    case RuleField::app:
        return event.app;
    case RuleField::title:
        return event.title;
    case RuleField::doc:
        return event.doc;
    case RuleField::url:
        return event.url;
    case RuleField::exePath:
        return event.exePath;
    }
    return {};
}

namespace {

// The text's length and hash; the leading number changes whenever what a rules file
// means to this program does, so that no summary made under other meanings is used.
std::string digestOf(std::string_view tomlText) {
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(ValueMemo::hashOf(tomlText)));
    return "1-" + std::to_string(tomlText.size()) + "-" + hash;
}

} // namespace

RulesRead parseRules(std::string_view tomlText, std::string_view name) {
    RulesRead result;
    toml::table document;
    try {
        document = toml::parse(tomlText, name);
    } catch (const toml::parse_error& error) {
        Problem problem;
        problem.line = static_cast<int>(error.source().begin.line);
        std::tie(problem.table, problem.rule) = tableAtLine(tomlText, problem.line);
        problem.message = std::string(error.description());
        result.error = describe(name, problem);
        return result;
    }
    RuleSet rules;
    std::array<std::vector<text::PatternSource>, ruleFieldCount> sources;
    for (const auto& [key, node] : document) {
        if (key.str() == "app") {
            const auto* list = node.as_array();
            if (list == nullptr || !list->is_array_of_tables()) {
                result.error = describe(
                    name, {lineOf(node), 0, "app", "apps are tables, each headed [[app]]"});
                return result;
            }
            if (auto problem = readApps(*list, rules.apps)) {
                result.error = describe(name, *problem);
                return result;
            }
            continue;
        }
        if (key.str() != "rule") {
            result.error = describe(name, {lineOf(node), 0, std::string(key.str()),
                                           "not a part of a rules file, which holds [[rule]] "
                                           "and [[app]] tables"});
            return result;
        }
        const auto* list = node.as_array();
        if (list == nullptr || !list->is_array_of_tables()) {
            result.error =
                describe(name, {lineOf(node), 0, "rule", "rules are tables, each headed [[rule]]"});
            return result;
        }
        for (const toml::node& element : *list) {
            Rule rule;
            std::array<std::optional<text::PatternSource>, ruleFieldCount> ruleSources;
            const std::size_t index = rules.rules.size() + 1;
            if (auto problem = readRule(*element.as_table(), index, rule, ruleSources)) {
                result.error = describe(name, *problem);
                return result;
            }
            rule.line = lineOf(element);
            for (std::size_t f = 0; f < ruleFieldCount; ++f) {
                if (ruleSources[f]) {
                    sources[f].push_back(std::move(*ruleSources[f]));
                    rules.setRules[f].push_back(static_cast<std::uint32_t>(index - 1));
                    rules.textFields |= fieldBits[f];
                }
            }
            rules.usesCategory = rules.usesCategory || rule.matchesCategory;
            rules.rules.push_back(std::move(rule));
        }
    }
    for (std::size_t f = 0; f < ruleFieldCount; ++f) {
        text::CompiledPatternSet set = text::compilePatternSet(sources[f]);
        if (!set.set) {
            const std::size_t rule = rules.setRules[f][set.failed];
            result.error = describe(
                name, {rules.rules[rule].line, rule + 1, std::string(fieldKeys[f]), set.error});
            return result;
        }
        rules.sets[f] = std::move(*set.set);
    }
    rules.digest = digestOf(tomlText);
    result.rules = std::move(rules);
    return result;
}

RulesRead readRulesFile(const std::filesystem::path& file, bool required) {
    RulesRead result;
    const std::string name = text::utf8FromPath(file);
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        if (required) {
            result.error = name + ": no such rules file";
        } else {
            result.rules = RuleSet{};
            result.missing = true;
        }
        return result;
    }
    std::ifstream in(file, std::ios::binary);
    if (status.type() == std::filesystem::file_type::directory || !in) {
        result.error = name + ": can't be read";
        return result;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        result.error = name + ": can't be read";
        return result;
    }
    return parseRules(text, name);
}

namespace {

bool categoryMatches(const Rule& rule, std::int64_t category) {
    if (!rule.matchesCategory) {
        return true;
    }
    for (const std::int64_t wanted : rule.categories) {
        if (wanted == category) {
            return true;
        }
    }
    return false;
}

} // namespace

std::size_t ruleMaskWords(const RuleSet& rules) {
    return (rules.rules.size() + 63) / 64;
}

void allowedByText(const RuleSet& rules, RuleField field, std::string_view text,
                   std::uint64_t* mask, std::vector<int>& matched) {
    const std::size_t words = ruleMaskWords(rules);
    std::fill(mask, mask + words, ~std::uint64_t{0});
    const auto f = static_cast<std::size_t>(field);
    const std::vector<std::uint32_t>& members = rules.setRules[f];
    if (members.empty()) {
        return;
    }
    text::matchingPatterns(rules.sets[f], text, matched);
    std::size_t next = 0;
    for (std::size_t m = 0; m < members.size(); ++m) {
        if (next < matched.size() && static_cast<std::size_t>(matched[next]) == m) {
            ++next;
            continue;
        }
        mask[members[m] / 64] &= ~(std::uint64_t{1} << (members[m] % 64));
    }
}

void allowedByCategory(const RuleSet& rules, std::int64_t category, std::uint64_t* mask) {
    std::fill(mask, mask + ruleMaskWords(rules), ~std::uint64_t{0});
    for (std::size_t r = 0; r < rules.rules.size(); ++r) {
        if (!categoryMatches(rules.rules[r], category)) {
            mask[r / 64] &= ~(std::uint64_t{1} << (r % 64));
        }
    }
}

std::size_t firstAllowed(const RuleSet& rules, const std::uint64_t* mask) {
    const std::size_t words = ruleMaskWords(rules);
    for (std::size_t w = 0; w < words; ++w) {
        if (mask[w] != 0) {
            // Bits past the last rule are set too; the rule count caps them.
            return std::min(rules.rules.size(),
                            w * 64 + static_cast<std::size_t>(std::countr_zero(mask[w])));
        }
    }
    return rules.rules.size();
}

std::size_t firstMatch(const RuleSet& rules, const logformat::LogEvent& event) {
    const std::size_t words = ruleMaskWords(rules);
    std::vector<std::uint64_t> allowed(words), field(words);
    std::vector<int> matched;
    allowedByCategory(rules, event.category, allowed.data());
    for (std::size_t f = 0; f < ruleFieldCount; ++f) {
        const auto which = static_cast<RuleField>(f);
        allowedByText(rules, which, ruleFieldText(event, which), field.data(), matched);
        for (std::size_t w = 0; w < words; ++w) {
            allowed[w] &= field[w];
        }
    }
    return firstAllowed(rules, allowed.data());
}

std::size_t firstMatchOneByOne(const RuleSet& rules, const logformat::LogEvent& event) {
    for (std::size_t r = 0; r < rules.rules.size(); ++r) {
        const Rule& rule = rules.rules[r];
        bool matches = categoryMatches(rule, event.category);
        for (std::size_t f = 0; matches && f < ruleFieldCount; ++f) {
            matches = !rule.patterns[f] ||
                      text::matchesAnywhere(*rule.patterns[f],
                                            ruleFieldText(event, static_cast<RuleField>(f)));
        }
        if (matches) {
            return r;
        }
    }
    return rules.rules.size();
}

} // namespace report
