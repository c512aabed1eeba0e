// The rules file as the classifier meets it: which rule wins, what each key matches,
// and that the cache answers as the rules themselves do.
#include "activity_report/classifier.h"
#include "activity_report/rules.h"
#include "activity_report/totals.h"
#include "activity_report/value_memo.h"

#include <gtest/gtest.h>

#include <array>
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

// Each field's values are kept apart: "ab" then "c" is not "a" then "bc", and a field
// no rule reads is not looked at.
TEST(Rules, CacheAnswersAsTheRulesDo) {
    ProjectClassifier split(
        rulesOf("[[rule]]\nproject = \"Joined\"\napp = \"^ab$\"\ntitle = \"^c$\"\n"));
    EXPECT_EQ(split.projectOf(event("ab", "c")), "Joined");
    EXPECT_EQ(split.projectOf(event("a", "bc")), "Uncategorised");
    EXPECT_EQ(split.projectOf(event("ab", "c")), "Joined");
    EXPECT_EQ(split.projectOf(event("a", "c")), "Uncategorised");
    // Two apps and one title: once the app has failed the only rule, no title can
    // change the answer, and "bc" is never matched.
    EXPECT_EQ(split.distinctValues(), 3u);

    ProjectClassifier byApp(rulesOf("[[rule]]\nproject = \"Writing\"\napp = \"Word\"\n"));
    for (int i = 0; i < 50; ++i) {
        logformat::LogEvent e = event(i % 2 ? "Word" : "Excel", "title " + std::to_string(i));
        e.pid = static_cast<std::uint64_t>(i);
        EXPECT_EQ(byApp.projectOf(e), i % 2 ? "Writing" : "Uncategorised");
    }
    EXPECT_EQ(byApp.distinctValues(), 2u);

    // Many events, repeating, in every order, with more titles than the processor's cache
    // holds: the answer is the rules' own.
    ProjectClassifier cached(rulesOf(rules));
    const RuleSet& set = cached.rules();
    const std::vector<std::string> apps = {"Microsoft Word", "Microsoft Edge", "Spotify",
                                           "Visual Studio Code", "PuTTY"};
    const std::vector<std::string> words = {"invoice ", "news ", "plan ", "été ", ""};
    std::mt19937 random(17);
    for (std::size_t i = 0; i < 6000; ++i) {
        const auto pick = [&](const std::vector<std::string>& from) {
            return from[random() % from.size()];
        };
        const std::string title = pick(words) + std::to_string(random() % 2000);
        const logformat::LogEvent e =
            event(pick(apps), title, pick(words), i % 3 ? "C:/src/app/x" : "",
                  i % 5 ? "/Device/putty.exe" : "", static_cast<std::int64_t>(random() % 16));
        const std::size_t expected = firstMatchOneByOne(set, e);
        EXPECT_EQ(cached.projectOf(e), expected < set.rules.size()
                                           ? std::string_view(set.rules[expected].project)
                                           : uncategorised)
            << e.app << " " << e.title;
    }
    EXPECT_GT(cached.distinctValues(), 1024u);
    EXPECT_LT(cached.distinctValues(), 6000u);
}

// More rules than one word of bits holds: the first match is found in any word, and a
// rule that fails on one field is not let through by another's word.
TEST(Rules, ManyRulesAcrossWordsOfBits) {
    std::string toml;
    for (int r = 0; r < 130; ++r) {
        toml += "[[rule]]\nproject = \"R" + std::to_string(r) + "\"\ntitle = \"^t" +
                std::to_string(r) + "$\"\n" + (r % 2 ? "app = \"odd\"\n" : "") + "\n";
    }
    toml += "[[rule]]\nproject = \"Rest\"\n";
    ProjectClassifier classifier(rulesOf(toml));
    const std::pair<logformat::LogEvent, std::string_view> cases[] = {
        {event("", "t0"), "R0"},         {event("odd", "t63"), "R63"},
        {event("", "t63"), "Rest"},      {event("", "t64"), "R64"},
        {event("odd", "t65"), "R65"},    {event("odd", "t127"), "R127"},
        {event("", "t128"), "R128"},     {event("odd", "t129"), "R129"},
        {event("even", "t129"), "Rest"}, {event("", "t130"), "Rest"},
    };
    for (int pass = 0; pass < 2; ++pass) { // matched, then answered from the memo
        for (const auto& [e, project] : cases) {
            EXPECT_EQ(classifier.projectOf(e), project) << e.title;
            const std::size_t rule = firstMatchOneByOne(classifier.rules(), e);
            EXPECT_EQ(firstMatch(classifier.rules(), e), rule) << e.title;
        }
    }
}

// Values of every length the memo keeps, side by side across its blocks and its growing
// slots, are each answered with their own rules; a longer one is never kept.
TEST(Rules, MemoAnswersEachKeptValueWithItsOwnRules) {
    ValueMemo memo(2);
    std::vector<std::string> values{"", "a", std::string(8, 'b'), std::string(64, 'c'),
                                    std::string(65, 'c')};
    for (int longest = 0; longest < 3; ++longest) { // two of these don't fit one block
        values.push_back(std::string(std::size_t{1} << 20, static_cast<char>('x' + longest)));
    }
    for (int i = 0; i < 3000; ++i) { // enough to grow the slots several times
        values.push_back("title " + std::to_string(i));
    }
    const auto maskOf = [](std::size_t i) { return std::array<std::uint64_t, 2>{i, ~i}; };
    for (std::size_t i = 0; i < values.size(); ++i) {
        memo.insert(values[i], ValueMemo::hashOf(values[i]), maskOf(i).data());
    }
    ASSERT_EQ(memo.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint64_t* mask = memo.find(values[i], ValueMemo::hashOf(values[i]));
        ASSERT_NE(mask, nullptr) << values[i].size();
        EXPECT_EQ(mask[0], maskOf(i)[0]);
        EXPECT_EQ(mask[1], maskOf(i)[1]);
    }
    const std::string tooLong((std::size_t{1} << 20) + 1, 'z');
    memo.insert(tooLong, ValueMemo::hashOf(tooLong), maskOf(0).data());
    EXPECT_EQ(memo.find(tooLong, ValueMemo::hashOf(tooLong)), nullptr);
    EXPECT_EQ(memo.find("title", ValueMemo::hashOf("title")), nullptr);
}

// A log of endless distinct long titles can't hold the report's memory: past its bounds
// the memo starts again, and never answers for one value with another's rules.
TEST(Rules, MemoStartsAgainPastItsBounds) {
    ValueMemo memo(1);
    const auto value = [](std::uint64_t i) {
        return std::to_string(i) + std::string((1 << 20) - 16, 'x');
    };
    constexpr std::uint64_t count = 80;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::string text = value(i);
        memo.insert(text, ValueMemo::hashOf(text), &i);
    }
    EXPECT_LT(memo.size(), count);
    std::size_t kept = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::string text = value(i);
        if (const std::uint64_t* mask = memo.find(text, ValueMemo::hashOf(text))) {
            EXPECT_EQ(*mask, i);
            ++kept;
        }
    }
    EXPECT_EQ(kept, memo.size());
    EXPECT_GT(kept, 0u);
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
