#include "app/activity_output.h"
#include "sample_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

OwnerRecord owner{"Editor", 7, "/Device/x/editor.exe", 21, 12};

ActivityRecord recordWithTitle(const char* title) {
    return ActivityRecord{
        title,   static_cast<std::int64_t>(std::char_traits<char>::length(title) + 1),
        nullptr, 0,
        &owner,  5};
}

constexpr char tail[] =
    R"(, "Owner": {"Pid": 12, "Name": "Editor", "Path": "/Device/x/editor.exe"}, )"
    "\"App_cat_nb\": 5}\r\n";

TEST(ActivityOutput, NoRecordIsAnEmptyObject) {
    EXPECT_EQ(formatActivityRecord(nullptr, nullptr, false), "{}\r\n");
}

TEST(ActivityOutput, ChoosesTheHeadByTitleAndCuration) {
    const ActivityRecord empty = recordWithTitle("");
    EXPECT_EQ(formatActivityRecord(&empty, nullptr, false),
              std::string(R"({"Title": "", "Curated_title": "", "Doc": "", "URL": "")") + tail);

    const ActivityRecord titled = recordWithTitle("a - b");
    EXPECT_EQ(formatActivityRecord(&titled, nullptr, false),
              std::string(R"({"Title": "a - b", "Curated_title": "", "Doc": "", "URL": "")") +
                  tail);

    const CuratedBytes curated{"a", "a"};
    EXPECT_EQ(formatActivityRecord(&titled, &curated, false),
              std::string(R"({"Title": "a - b", "Curated_title": "a", "Doc": "a", "URL": "")") +
                  tail);

    ActivityRecord resolved = titled;
    resolved.documentPath = "C:/a";
    EXPECT_EQ(formatActivityRecord(&resolved, &curated, true),
              std::string(R"({"Title": "a - b", "Curated_title": "a", "Doc": "a", "URL": "C:/a")") +
                  tail);
}

// What JSON can't carry raw is escaped in every string; every other byte passes as is.
TEST(ActivityOutput, EscapesQuoteBackslashAndControlBytesInEveryString) {
    struct Case {
        std::string raw;
        std::string written;
    };
    const Case cases[] = {
        {"tab\there", R"(tab\there)"},
        {"line\nfeed\rcr", R"(line\nfeed\rcr)"},
        {"\b\f", R"(\b\f)"},
        {"one\x01", R"(one\u0001)"},
        {"\x1f\x7f", "\\u001f\x7f"},
        {"q\"b\\", R"(q\"b\\)"},
        {"\xe9\xc3\xa9\xff", "\xe9\xc3\xa9\xff"},
    };
    for (const Case& c : cases) {
        OwnerRecord ownerOf{c.raw.c_str(), 0, c.raw.c_str(), 0, 1};
        ActivityRecord record{c.raw.c_str(), 1, c.raw.c_str(), 1, &ownerOf, 0};
        const CuratedBytes curated{c.raw, c.raw};
        const std::string line = formatActivityRecord(&record, &curated, true);
        const std::string& w = c.written;
        EXPECT_EQ(line, "{\"Title\": \"" + w + "\", \"Curated_title\": \"" + w + "\", \"Doc\": \"" +
                            w + "\", \"URL\": \"" + w + "\", \"Owner\": {\"Pid\": 1, \"Name\": \"" +
                            w + "\", \"Path\": \"" + w + "\"}, \"App_cat_nb\": 0}\r\n")
            << c.raw;
    }
}

TEST(ActivityOutput, PidIsUnsignedAndCategorySigned) {
    OwnerRecord big{"", 1, "", 0, std::numeric_limits<std::uint64_t>::max()};
    ActivityRecord record{"", 0, nullptr, 0, &big, std::numeric_limits<std::int64_t>::min()};
    EXPECT_EQ(formatActivityRecord(&record, nullptr, false),
              R"({"Title": "", "Curated_title": "", "Doc": "", "URL": "", )"
              R"("Owner": {"Pid": 18446744073709551615, "Name": "", "Path": ""}, )"
              "\"App_cat_nb\": -9223372036854775808}\r\n");
}

TEST(ActivityOutput, Utf8ByCodeUnitEncodesEachUnitOnItsOwn) {
    EXPECT_EQ(encodeUtf8ByCodeUnit(test::units(u"a\u00e9\u0800\uffff")),
              "a\xC3\xA9\xE0\xA0\x80\xEF\xBF\xBF");
    // A pair is two three-byte sequences, never one four-byte one.
    EXPECT_EQ(encodeUtf8ByCodeUnit(test::units(u"\U0001F600")), "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(encodeUtf8ByCodeUnit(L""), "");
}

} // namespace
