#include "logformat/json_read.h"
#include "logformat/log_event.h"
#include "logformat/log_event_scan.h"
#include "logformat/log_files.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace logformat;

namespace {

LogEvent wordEvent() {
    LogEvent event;
    event.start = {1'796'633'902'123, 60};
    event.end = {1'796'633'927'130, 60};
    event.title = "report.docx - Word";
    event.curatedTitle = "report.docx";
    event.doc = "report.docx";
    event.url = "C:/Users/ann/report.docx";
    event.pid = 4812;
    event.app = "Microsoft Word";
    event.exePath = "/Device/HarddiskVolume3/Office16/WINWORD.EXE";
    event.category = 8;
    return event;
}

// TEXT with its first FROM replaced by TO.
std::string replaced(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return text.substr(0, at) + to + text.substr(at + from.size());
}

} // namespace

TEST(LogEvent, LineHasTheFixedKeysAndReadsBack) {
    const LogEvent event = wordEvent();
    EXPECT_EQ(formatLogEvent(event),
              "{\"start\": \"2026-12-07T09:58:22.123+01:00\", \"end\": "
              "\"2026-12-07T09:58:47.130+01:00\", \"seconds\": 25.007, \"state\": \"active\", "
              "\"title\": \"report.docx - Word\", \"curated_title\": \"report.docx\", \"doc\": "
              "\"report.docx\", \"url\": \"C:/Users/ann/report.docx\", \"pid\": 4812, \"app\": "
              "\"Microsoft Word\", \"exe_path\": \"/Device/HarddiskVolume3/Office16/WINWORD.EXE\", "
              "\"category\": 8}\n");
    std::string line = formatLogEvent(event);
    line.pop_back();
    const auto back = parseLogEvent(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(formatLogEvent(*back), formatLogEvent(event));
}

TEST(LogEvent, AnyTextComesBackAsStrictUtf8) {
    struct Case {
        std::string title;
        std::string readBack;
    };
    const Case cases[] = {
        {"quote \" backslash \\ tab \t nul " + std::string(1, '\0') + " \x1f end",
         "quote \" backslash \\ tab \t nul " + std::string(1, '\0') + " \x1f end"},
        {"vertical tab \v form feed \f", "vertical tab \v form feed \f"},
        {"</title><script>alert(1)</script>", "</title><script>alert(1)</script>"},
        {"caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80\xA8", "caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80\xA8"},
        {"latin \xE9 lone \xED\xA0\x80 cut \xF0\x9F",
         "latin \xEF\xBF\xBD lone \xEF\xBF\xBD\xEF\xBF\xBD"
         "\xEF\xBF\xBD cut \xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        LogEvent event = wordEvent();
        event.title = c.title;
        std::string line = formatLogEvent(event);
        line.pop_back();
        EXPECT_EQ(line.find('\n'), std::string::npos);
        const auto back = parseLogEvent(line);
        ASSERT_TRUE(back) << line;
        EXPECT_EQ(back->title, c.readBack);
    }
}

TEST(LogEvent, IncompleteOrForeignLinesAreRefused) {
    std::string good = formatLogEvent(wordEvent());
    good.pop_back();
    const std::string refused[] = {
        good.substr(0, good.size() - 1),
        good.substr(0, 40),
        good + " {}",
        "",
        "[]",
        "{\"start\": \"2026-12-07T09:58:22.123+01:00\"}",
        replaced(good, "active", "asleep"),
        replaced(good, "4812", "\"4812\""),
        replaced(good, "4812", "-1"),
        replaced(good, "Microsoft", "\xE9"),
        replaced(good, "25.007", "\"25\""),
        "{\"start\": \"\xF3:", // cut inside a character, as a torn tail can be
    };
    for (const std::string& line : refused) {
        EXPECT_FALSE(parseLogEvent(line)) << line;
    }
    EXPECT_TRUE(parseLogEvent(good + " \t"));
    EXPECT_EQ(stateFromName("unavailable"), ActivityState::unavailable);
    EXPECT_EQ(dayFileName({2026, 12, 7}), "2026-12-07.jsonl");
}

TEST(LogEvent, KeysTheReaderPassesOverOrRefuses) {
    std::string good = formatLogEvent(wordEvent());
    good.pop_back();
    const std::string body = good.substr(1); // without the opening brace
    struct Case {
        std::string line;
        bool reads;
        std::string title; // when it reads
    };
    const Case cases[] = {
        // Unknown keys of any shape are passed over; a known key met again keeps its first value.
        {"{\"extra\": {\"title\": [1, {\"x\": null}], \"n\": -1.5e3}, " + body, true,
         "report.docx - Word"},
        {"{\"title\": \"first\", " + body, true, "first"},
        {replaced(good, "\"category\": 8", "\"category\": 8, \"title\": 7"), true,
         "report.docx - Word"},
        {replaced(good, "\"report.docx - Word\"", "null"), false, ""},
        {replaced(good, "\"report.docx - Word\"", "[\"a\"]"), false, ""},
        {replaced(good, "4812", "4812.0"), false, ""},
        {replaced(good, "\"category\": 8", "\"category\": -3"), true, "report.docx - Word"},
        {replaced(good, "\"category\": 8", "\"category\": 18446744073709551615"), false, ""},
        {good + std::string(1, '\0') + "garbage", false, ""},
        {replaced(good, "Word\"", "W\\u00f6rd \\ud83d\\ude00\""), true,
         "report.docx - W\xC3\xB6rd \xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        const auto event = parseLogEvent(c.line);
        ASSERT_EQ(event.has_value(), c.reads) << c.line;
        if (event) {
            EXPECT_EQ(event->title, c.title);
        }
    }
}

namespace {

// Both readers' view of LINE: the fast path's result and the event it read, the general
// reader's verdict and event.
struct Readings {
    ScanResult fast;
    LogEvent fastEvent;
    bool general;
    LogEvent generalEvent;
};

// Every field, compared as it is (a line would hide bytes that aren't UTF-8).
auto fieldsOf(const LogEvent& e) {
    return std::tuple(e.start.unixMs, e.start.offsetMinutes, e.end.unixMs, e.end.offsetMinutes,
                      e.state, e.title, e.curatedTitle, e.doc, e.url, e.pid, e.app, e.exePath,
                      e.category);
}

Readings readBoth(const std::string& line, unsigned keep = textField::all) {
    Readings r{};
    std::size_t length = 0;
    r.fast = scanLogEvent(line, r.fastEvent, keep, length);
    r.general = readAnyLogEvent(line, r.generalEvent, keep);
    return r;
}

} // namespace

TEST(LogEvent, TheCollectorsLinesTakeTheFastPathAndReadAsAnyReaderReadsThem) {
    std::vector<LogEvent> events;
    for (const char* title :
         {"report.docx - Word", "", "quote \" backslash \\ slash / tab \t cr \r lf \n",
          "nul \x01 esc \x1b[2J del \x7f", "caf\xC3\xA9 \xE5\xA0\xB1\xE5\x91\x8A \xF0\x9F\x98\x80",
          "\xE2\x80\xA8 line separator", "ends in a backslash \\"}) {
        LogEvent event = wordEvent();
        event.title = event.curatedTitle = event.doc = title;
        events.push_back(event);
    }
    LogEvent odd = wordEvent();
    odd.state = ActivityState::unavailable;
    odd.pid = 9'999'999'999'999'999'999u;
    odd.category = -42;
    odd.end = {odd.start.unixMs - 1500, -570}; // ends before it starts, at -09:30
    events.push_back(odd);
    for (const LogEvent& event : events) {
        std::string line = formatLogEvent(event);
        line.pop_back();
        const Readings r = readBoth(line);
        ASSERT_EQ(r.fast, ScanResult::event) << line;
        ASSERT_TRUE(r.general) << line;
        EXPECT_EQ(fieldsOf(r.fastEvent), fieldsOf(event)) << line;
        EXPECT_EQ(fieldsOf(r.generalEvent), fieldsOf(event)) << line;
    }

    // Any other shape is the general reader's to read or refuse: the answer is the same.
    std::string good = formatLogEvent(wordEvent());
    good.pop_back();
    const std::string others[] = {
        replaced(good, "\"pid\": 4812", "\"pid\":4812"),
        replaced(good, "25.007", "2.5007e1"),
        replaced(good, "{\"start\"", "{\"extra\": 1, \"start\""),
        replaced(good, "Word\"", "W\\u00f6rd \\ud83d\\ude00\""),
        replaced(good, "Word\"", "lone \\udc00\""),
        replaced(good, "4812", "99999999999999999999"),
        replaced(good, "\"category\": 8", "\"category\": 08"),
        replaced(good, "Word\"", "raw\ttab\""),
        replaced(good, "Word\"", "bad \xC0\xAF\""),
        replaced(good, "active", "asleep"),
        replaced(good, "09:58:22.123", "09:58:61.123"),
        good + " x",
        good.substr(0, good.size() - 1),
    };
    for (const std::string& line : others) {
        LogEvent event;
        const bool read = readLogEvent(line, event);
        const Readings r = readBoth(line);
        EXPECT_EQ(read, r.general) << line;
        EXPECT_NE(r.fast, ScanResult::event) << line;
        if (read) {
            EXPECT_EQ(fieldsOf(event), fieldsOf(r.generalEvent)) << line;
            // Text the general reader makes is strict UTF-8 too.
            EXPECT_EQ(event.title.find("\xED\xB0"), std::string::npos) << line;
        }
    }
}

TEST(LogEvent, TextFieldsLeftOutAreStillChecked) {
    std::string good = formatLogEvent(wordEvent());
    good.pop_back();
    for (const std::string& line : {good, replaced(good, "Word\"", "W\\u00f6rd\"")}) {
        LogEvent event;
        ASSERT_TRUE(readLogEvent(line, event, textField::app | textField::url)) << line;
        EXPECT_EQ(event.app, "Microsoft Word");
        EXPECT_EQ(event.url, "C:/Users/ann/report.docx");
        EXPECT_EQ(event.title, "");
        EXPECT_EQ(event.doc, "");
        EXPECT_EQ(event.pid, 4812u);
    }
    LogEvent event;
    EXPECT_FALSE(readLogEvent(replaced(good, "- Word", "- W\xE9rd"), event, textField::app));
    EXPECT_FALSE(readLogEvent(replaced(good, "- Word", "- W\x01rd"), event, textField::app));
}

// Nesting, in an event's line and in any document, read without recursion and cut off at
// maxJsonDepth: a line deeper than that is damaged, however deep, and one within it reads.
TEST(JsonRead, NestingIsReadUpToItsBoundAndRefusedPastIt) {
    std::string event = formatLogEvent(wordEvent());
    event.pop_back(); // its line end
    const auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    struct Case {
        std::size_t depth; // of the whole line, its object the first level
        bool read;
    };
    const Case cases[] = {
        {2, true},
        {maxJsonDepth, true},
        {maxJsonDepth + 1, false},
        {200'000, false}, // far past what a thread's stack holds of a recursive parse
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        const std::string line = replaced(event, "{", "{\"extra\": " + nested(c.depth - 1) + ", ");
        LogEvent read;
        EXPECT_EQ(readLogEvent(line, read), c.read);
        EXPECT_EQ(readAnyLogEvent(line, read, textField::all), c.read);
        rapidjson::Document document;
        EXPECT_EQ(readJsonDocument(line, document), c.read);
        EXPECT_EQ(document.IsObject(), c.read);
        EXPECT_EQ(readJsonDocument(nested(c.depth), document), c.read);
    }
    rapidjson::Document document;
    EXPECT_FALSE(readJsonDocument(std::string("[1]\0[", 5), document));
    EXPECT_FALSE(readJsonDocument("[1] [2]", document));
    EXPECT_FALSE(readJsonDocument("\"caf\xE9\"", document));
}
