// The sampler's line read back: every encoding it pins, and every line it could not
// have written refused.
#include "activity_log/sample_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using activity_log::readSampleLine;

std::string line(const std::string& title, const std::string& curated, const std::string& doc,
                 const std::string& url, const std::string& pid, const std::string& name,
                 const std::string& path, const std::string& category) {
    return R"({"Title": ")" + title + R"(", "Curated_title": ")" + curated + R"(", "Doc": ")" +
           doc + R"(", "URL": ")" + url + R"(", "Owner": {"Pid": )" + pid + R"(, "Name": ")" +
           name + R"(", "Path": ")" + path + R"("}, "App_cat_nb": )" + category + "}\r\n";
}

// U+1F600 in UTF-8, and as its two UTF-16 units each encoded on its own.
const std::string grinning = "\xF0\x9F\x98\x80";
const std::string grinningByUnit = "\xED\xA0\xBD\xED\xB8\x80";
const std::string replacement = "\xEF\xBF\xBD";

TEST(SampleLine, DecodesEachFieldByItsEncoding) {
    const auto sample = readSampleLine(
        line("plan " + grinning + ".docx - Word", "plan " + grinningByUnit + ".docx",
             "plan " + grinningByUnit + ".docx", "C:/Users/ann/caf\xC3\xA9.docx", "4812",
             "Microsoft Word", "/Device/HarddiskVolume3/Caf\xE9/WINWORD.EXE", "8"));
    ASSERT_TRUE(sample);
    EXPECT_TRUE(sample->window);
    EXPECT_EQ(sample->title, "plan " + grinning + ".docx - Word");
    EXPECT_EQ(sample->curatedTitle, "plan " + grinning + ".docx");
    EXPECT_EQ(sample->doc, "plan " + grinning + ".docx");
    EXPECT_EQ(sample->url, "C:/Users/ann/caf\xC3\xA9.docx");
    EXPECT_EQ(sample->pid, 4812u);
    EXPECT_EQ(sample->name, "Microsoft Word");
    EXPECT_EQ(sample->path, "/Device/HarddiskVolume3/Caf\xC3\xA9/WINWORD.EXE");
    EXPECT_EQ(sample->category, 8);
}

TEST(SampleLine, UndoesTheEscapesAndPairsSurrogates) {
    struct Case {
        const char* what;
        std::string curatedBytes;
        std::string expected;
    };
    const Case cases[] = {
        {"escapes", R"(a\"b\\c\/d\b\f\n\r\te\u0001\u001F)", "a\"b\\c/d\b\f\n\r\te\x01\x1F"},
        {"pair", grinningByUnit, grinning},
        // The pairs at the edges of the surrogates' ranges: U+10000, U+1F3FF, U+10FFFF.
        {"lowest pair", "\xED\xA0\x80\xED\xB0\x80", "\xF0\x90\x80\x80"},
        {"low surrogate at its top", "\xED\xA0\xBC\xED\xBF\xBF", "\xF0\x9F\x8F\xBF"},
        {"highest pair", "\xED\xAF\xBF\xED\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"lone high", "\xED\xA0\xBDx", replacement + "x"},
        {"lone high at the end", "x\xED\xA0\xBD", "x" + replacement},
        {"lone low", "\xED\xB8\x80x", replacement + "x"},
        {"two highs then a low", "\xED\xA0\xBD" + grinningByUnit, replacement + grinning},
        {"low before high", "\xED\xB8\x80\xED\xA0\xBD", replacement + replacement},
        {"BMP three bytes", "\xE2\x82\xAC", "\xE2\x82\xAC"},
    };
    for (const Case& c : cases) {
        const auto sample =
            readSampleLine(line("t", c.curatedBytes, c.curatedBytes, "", "1", "n", "p", "0"));
        ASSERT_TRUE(sample) << c.what;
        EXPECT_EQ(sample->curatedTitle, c.expected) << c.what;
        EXPECT_EQ(sample->doc, c.expected) << c.what;
    }
}

TEST(SampleLine, NoWindowIsASampleWithoutWindow) {
    const auto empty = readSampleLine("{}\r\n");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->window);
    const auto noWindow = readSampleLine(line("", "", "", "", "0", "Unknown", "", "0"));
    ASSERT_TRUE(noWindow);
    EXPECT_FALSE(noWindow->window);
    // A window without a title still has an owner.
    const auto untitled = readSampleLine(line("", "", "", "", "77", "explorer.exe", "/x", "0"));
    ASSERT_TRUE(untitled);
    EXPECT_TRUE(untitled->window);
    EXPECT_EQ(untitled->pid, 77u);
    // LF alone is a line end too.
    EXPECT_TRUE(readSampleLine("{}\n"));
}

TEST(SampleLine, NumbersAtTheirLimits) {
    const auto large = readSampleLine(
        line("t", "", "", "", "18446744073709551615", "n", "p", "-9223372036854775808"));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->pid, 18446744073709551615u);
    EXPECT_EQ(large->category, INT64_MIN);
    const auto top = readSampleLine(line("t", "", "", "", "0", "n", "p", "9223372036854775807"));
    ASSERT_TRUE(top);
    EXPECT_EQ(top->category, INT64_MAX);
}

TEST(SampleLine, RefusesWhatTheSamplerNeverWrites) {
    const std::string good = line("t", "c", "d", "u", "1", "n", "p", "2");
    const std::string refused[] = {
        "",
        "\r\n",
        "{}",                            // no line end
        "{}\r\n{}\r\n",                  // two lines
        good.substr(0, good.size() - 2), // no line end
        good + good,                     // two lines
        good.substr(0, 40) + "\r\n",     // cut short
        "garbage\r\n",
        "Unable to access recent documents.\r\n",
        R"({"Curated_title": "", "Title": "", "Doc": "", "URL": "", "Owner": {"Pid": 0, "Name": "", "Path": ""}, "App_cat_nb": 0})"
        "\r\n",                                                // keys out of order
        line("t\"x", "", "", "", "1", "n", "p", "0"),          // a raw quote ends the string early
        line("\xC3", "", "", "", "1", "n", "p", "0"),          // truncated UTF-8
        line("\xC0\xAF", "", "", "", "1", "n", "p", "0"),      // overlong
        line("\xED\xA0\xBD", "", "", "", "1", "n", "p", "0"),  // surrogate in the title
        line("", "", "", "\xFF", "1", "n", "p", "0"),          // bad URL
        line("t", grinning, "", "", "1", "n", "p", "0"),       // four bytes by code unit
        line("t", "\xE0\x80\x80", "", "", "1", "n", "p", "0"), // overlong by code unit
        line("t", R"(\u0100)", "", "", "1", "n", "p", "0"),    // not one byte
        line("t", R"(\x)", "", "", "1", "n", "p", "0"),        // unknown escape
        line("t", R"(\u00G1)", "", "", "1", "n", "p", "0"),
        line("t", "", "", "", "01", "n", "p", "0"), // leading zero
        line("t", "", "", "", "-1", "n", "p", "0"), // signed pid
        line("t", "", "", "", "18446744073709551616", "n", "p", "0"),
        line("t", "", "", "", "1", "n", "p", "9223372036854775808"),
        line("t", "", "", "", "1", "n", "p", "-0"),
        line("t", "", "", "", "1", "n", "p", ""),
        line("t", "", "", "", "1", "n", "p", "1 "),
        good.substr(0, good.size() - 2) + " \r\n", // trailing bytes
    };
    for (const std::string& output : refused) {
        EXPECT_FALSE(readSampleLine(output)) << output;
    }
}

} // namespace
