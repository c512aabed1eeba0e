// The rules file as the classifier meets it: which rule wins, what each key matches,
// and that the cache answers as the rules themselves do.
#include "activity_report/classifier.h"
#include "activity_report/rules.h"
#include "activity_report/totals.h"

#include <gtest/gtest.h>

#include <random>

using namespace report;

namespace {

RuleSet rulesOf(std::string_view toml) {
    RulesRead read = parseRules(toml, "test.toml");
    EXPECT_TRUE(read.rules) << read.error;
    return read.rules ? std::move(*read.rules) : RuleSet{};
}

logformat::LogEvent event(std::string app, std::string title, std::string doc = {},
                          std::string url = {}, std::string exePath = {},
                          std::int64_t category = 0) {
    logformat::LogEvent e;
    e.app = std::move(app);
    e.title = std::move(title);
    e.doc = std::move(doc);
    e.url = std::move(url);
    e.exePath = std::move(exePath);
    e.category = category;
    return e;
}

constexpr std::string_view rules = R"(
[[rule]]
project = "Work/Client A"
app = "^Microsoft Word$"
title = "^invoice"

[[rule]]
project = "Work/Docs"
app = "Word"

[[rule]]
project = "Work/Client B"
doc = "ÉTÉ"
ignore_case = true

[[rule]]
project = "Work/Repo"
url = "^C:/src/app/"

[[rule]]
project = "Work/Tools"
exe_path = "/putty\\.exe$"

[[rule]]
project = "Personal/Media"
category = ["Music", 14]

[[rule]]
project = "Personal/Web"
category = "browser"
title = "(?i)news"
)";

} // namespace

TEST(Rules, FirstMatchingRuleNamesTheProjectAndEachFieldMatches) {
    ProjectClassifier classifier(rulesOf(rules));
    struct Case {
        logformat::LogEvent event;
        std::string_view project;
    };
    const Case cases[] = {
        // Both of the first rule's fields match: the first rule wins over the second.
        {event("Microsoft Word", "invoice 12.docx - Word"), "Work/Client A"},
        // One field of two is no match: the next rule that matches.
        {event("Microsoft Word", "plan.docx - Word"), "Work/Docs"},
        {event("Microsoft Excel", "invoice.xlsx"), "Uncategorised"},
        // ignore_case folds beyond ASCII.
        {event("Notes", "", "rapport d'été.txt"), "Work/Client B"},
        {event("Notes", "", "rapport d'ete.txt"), "Uncategorised"},
        {event("Visual Studio Code", "main.cpp", "", "C:/src/app/main.cpp"), "Work/Repo"},
        {event("Visual Studio Code", "main.cpp", "", "D:/C:/src/app/main.cpp"), "Uncategorised"},
        {event("PuTTY", "host", "", "", "/Device/X/putty.exe"), "Work/Tools"},
        {event("Spotify", "Song", "", "", "", 13), "Personal/Media"},
        {event("Photos", "Trip", "", "", "", 14), "Personal/Media"},
        {event("Microsoft Edge", "Morning NEWS - Edge", "", "", "", 1), "Personal/Web"},
        {event("Microsoft Edge", "Morning NEWS - Edge", "", "", "", 2), "Uncategorised"},
        {event("Microsoft Edge", "GitHub - Edge", "", "", "", 1), "Uncategorised"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(classifier.projectOf(c.event), c.project) << c.event.app << " " << c.event.title;
        const RuleSet& set = classifier.rules();
        EXPECT_EQ(firstMatch(set, c.event), firstMatchOneByOne(set, c.event)) << c.event.title;
    }
}

TEST(Rules, NoRulesAndCatchAllRule) {
    ProjectClassifier none;
    EXPECT_EQ(none.projectOf(event("Microsoft Word", "x")), "Uncategorised");
    ProjectClassifier catchAll(rulesOf("[[rule]]\nproject = \"Work\"\napp = \"Code\"\n\n"
                                       "[[rule]]\nproject = \"Other\"\n"));
    EXPECT_EQ(catchAll.projectOf(event("Code", "x")), "Work");
    EXPECT_EQ(catchAll.projectOf(event("Word", "x")), "Other");
}

// The cache is keyed by the fields the rules read and by nothing else, with each field's
// length: "ab" then "c" is not "a" then "bc".
TEST(Rules, CacheAnswersAsTheRulesDo) {
    ProjectClassifier split(
        rulesOf("[[rule]]\nproject = \"Joined\"\napp = \"^ab$\"\ntitle = \"^c$\"\n"));
    EXPECT_EQ(split.projectOf(event("ab", "c")), "Joined");
    EXPECT_EQ(split.projectOf(event("a", "bc")), "Uncategorised");
    EXPECT_EQ(split.projectOf(event("ab", "c")), "Joined");
    EXPECT_EQ(split.distinctCombinations(), 2u);

    // Fields no rule reads don't make combinations of their own.
    ProjectClassifier byApp(rulesOf("[[rule]]\nproject = \"Writing\"\napp = \"Word\"\n"));
    for (int i = 0; i < 50; ++i) {
        logformat::LogEvent e = event(i % 2 ? "Word" : "Excel", "title " + std::to_string(i));
        e.pid = static_cast<std::uint64_t>(i);
        EXPECT_EQ(byApp.projectOf(e), i % 2 ? "Writing" : "Uncategorised");
    }
    EXPECT_EQ(byApp.distinctCombinations(), 2u);

    // Many events, repeating, in every order: the cached answer is the rules' own.
    ProjectClassifier cached(rulesOf(rules));
    const RuleSet& set = cached.rules();
    const std::vector<std::string> apps = {"Microsoft Word", "Microsoft Edge", "Spotify",
                                           "Visual Studio Code", "PuTTY"};
    const std::vector<std::string> titles = {"invoice 1", "news", "plan", "été", ""};
    std::mt19937 random(17);
    for (int i = 0; i < 2000; ++i) {
        const auto pick = [&](const std::vector<std::string>& from) {
            return from[random() % from.size()];
        };
        const logformat::LogEvent e =
            event(pick(apps), pick(titles), pick(titles), i % 3 ? "C:/src/app/x" : "",
                  i % 5 ? "/Device/putty.exe" : "", static_cast<std::int64_t>(random() % 16));
        const std::size_t expected = firstMatchOneByOne(set, e);
        const std::string_view project = cached.projectOf(e);
        EXPECT_EQ(project, expected < set.rules.size()
                               ? std::string_view(set.rules[expected].project)
                               : uncategorised);
    }
    EXPECT_LT(cached.distinctCombinations(), 2000u);
}

TEST(Rules, DepthRollsUpToTheFirstLevels) {
    struct Case {
        std::string_view path;
        int depth;
        std::string_view expected;
    };
    const Case cases[] = {
        {"Work/Client A/Website", 0, "Work/Client A/Website"},
        {"Work/Client A/Website", 1, "Work"},
        {"Work/Client A/Website", 2, "Work/Client A"},
        {"Work/Client A/Website", 3, "Work/Client A/Website"},
        {"Work/Client A/Website", 9, "Work/Client A/Website"},
        {"Uncategorised", 1, "Uncategorised"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(projectAtDepth(c.path, c.depth), c.expected) << c.path << " " << c.depth;
    }
}
