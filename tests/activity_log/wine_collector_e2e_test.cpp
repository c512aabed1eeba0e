// activity-log.exe end to end under Wine: the real collector and sampler against the
// window helper, copied as the applications the table knows.
#include "../wine/e2e_harness.h"
#include "logformat/log_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using logformat::ActivityState;
using logformat::LogEvent;

std::wstring collectorPath() {
    const wchar_t* value = _wgetenv(L"ACTIVITY_LOG_EXE");
    if (value == nullptr || value[0] != L'/') {
        ADD_FAILURE() << "set ACTIVITY_LOG_EXE to the collector's absolute Unix path";
        return {};
    }
    std::wstring path = L"Z:" + std::wstring(value);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// Every event of the log folder's day files, oldest first; each line must parse.
std::vector<LogEvent> readLog(const std::wstring& folder) {
    std::vector<LogEvent> events;
    if (!fs::exists(folder)) {
        ADD_FAILURE() << "no log folder";
        return events;
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != L".jsonl") {
            continue;
        }
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
        EXPECT_TRUE(!bytes.empty() && bytes.back() == '\n');
        EXPECT_EQ(bytes.find('\r'), std::string::npos) << "LF line ends only";
        std::size_t from = 0;
        for (std::size_t end; (end = bytes.find('\n', from)) != std::string::npos; from = end + 1) {
            const auto event = logformat::parseLogEvent(bytes.substr(from, end - from));
            if (!event) {
                ADD_FAILURE() << "unreadable line: " << bytes.substr(from, end - from);
                continue;
            }
            events.push_back(*event);
        }
    }
    std::sort(events.begin(), events.end(),
              [](const LogEvent& a, const LogEvent& b) { return a.start.unixMs < b.start.unixMs; });
    return events;
}

void expectNoHoles(const std::vector<LogEvent>& events) {
    for (std::size_t i = 1; i < events.size(); ++i) {
        EXPECT_EQ(events[i - 1].end.unixMs, events[i].start.unixMs) << "event " << i;
    }
}

std::vector<ActivityState> statesOf(const std::vector<LogEvent>& events) {
    std::vector<ActivityState> states;
    for (const LogEvent& event : events) {
        states.push_back(event.state);
    }
    return states;
}

std::string latin1ToUtf8(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

// U+1F600: in the window title as a surrogate pair, in the log as the one character.
const std::wstring planTitle = L"plan \U0001F600.docx - Word";
const std::string planUtf8 = "plan \xF0\x9F\x98\x80.docx";

struct Running {
    e2e::RunResult result;
    std::thread thread;
    std::atomic<bool> done = false;
};

void startCollector(Running& running, const std::wstring& arguments) {
    running.thread = std::thread([&running, arguments] {
        running.result = e2e::runProgram(collectorPath(), arguments);
        running.done = true;
    });
}

// A sound run says one line, at its start: where it logs, the desktop, and the idle
// time's source.
void expectSoundResult(const e2e::RunResult& result) {
    EXPECT_EQ(result.exitCode, 0u);
    const std::string said = "; desktop: the Windows desktop; idle time: Windows "
                             "(GetLastInputInfo)\n";
    EXPECT_EQ(result.err.rfind("activity-log: logging to ", 0), 0u) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_TRUE(result.err.ends_with(said)) << result.err;
    EXPECT_EQ(result.out, "");
}

void expectSoundRun(Running& running) {
    running.thread.join();
    expectSoundResult(running.result);
}

// Synthetic input through the session's X server: the ctest wrapper (wine-input-driver)
// moves the pointer over the window when the request file appears.
void giveInput(const e2e::HelperWindow& window) {
    const wchar_t* request = _wgetenv(L"ACTIVITY_LOG_INPUT_REQUEST");
    ASSERT_NE(request, nullptr) << "run under tests/activity_log/wine-input-driver";
    std::wstring path = L"Z:" + std::wstring(request);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    RECT rect{};
    GetWindowRect(window.window, &rect);
    {
        std::ofstream file{fs::path(path + L".new")};
        file << (rect.left + rect.right) / 2 << ' ' << (rect.top + rect.bottom) / 2 << '\n';
    }
    fs::rename(path + L".new", path);
    for (int waited = 0; fs::exists(path); waited += 20) {
        ASSERT_LT(waited, 10000) << "no input given";
        Sleep(20);
    }
}

// Word's window in front, and Edge's to come to the front during a run.
struct TwoWindows {
    std::wstring work, log, wordFolder, edgeFolder, word, edge;
    e2e::HelperWindow wordWindow, edgeWindow;

    explicit TwoWindows(const std::wstring& name)
        : work(e2e::freshDirectory(name)), log(work + L"\\log"), wordFolder(work + L"\\word"),
          edgeFolder(work + L"\\edge"), word(e2e::copyWindowHelper(wordFolder, L"WINWORD.EXE")),
          edge(e2e::copyWindowHelper(edgeFolder, L"msedge.exe")) {
        EXPECT_TRUE(e2e::showWindow(word, planTitle, wordFolder, wordWindow));
        // A user at work: the session may have had no input for longer than --idle-after.
        giveInput(wordWindow);
    }
    // A 3 s run with Edge brought to the front after 1.3 s.
    void runOnce(Running& collector) {
        startCollector(collector, L"--interval 0.2 --for 3 --dir \"" + log + L"\"");
        Sleep(1300);
        EXPECT_TRUE(e2e::showWindow(edge, L"Example Domain", edgeFolder, edgeWindow));
        collector.thread.join();
    }
};

TEST(CollectorUnderWine, TwoWindowsGiveTwoActiveEventsInOrder) {
    TwoWindows windows(L"collector-two");
    const std::wstring &log = windows.log, &word = windows.word, &edge = windows.edge;
    const e2e::HelperWindow &wordWindow = windows.wordWindow, &edgeWindow = windows.edgeWindow;
    Running collector;
    windows.runOnce(collector);
    expectSoundResult(collector.result);

    const std::vector<LogEvent> events = readLog(log);
    ASSERT_EQ(statesOf(events), (std::vector{ActivityState::active, ActivityState::active}));
    const LogEvent& first = events[0];
    EXPECT_EQ(first.title, planUtf8 + " - Word");
    EXPECT_EQ(first.curatedTitle, planUtf8);
    EXPECT_EQ(first.doc, planUtf8);
    EXPECT_EQ(first.url, "");
    EXPECT_EQ(first.pid, wordWindow.pid);
    EXPECT_EQ(first.app, "Microsoft Word");
    EXPECT_EQ(first.exePath, latin1ToUtf8(e2e::expectedImagePath(word)));
    EXPECT_EQ(first.category, 8);
    const LogEvent& second = events[1];
    EXPECT_EQ(second.title, "Example Domain");
    EXPECT_EQ(second.pid, edgeWindow.pid);
    EXPECT_EQ(second.app, "Microsoft Edge");
    EXPECT_EQ(second.exePath, latin1ToUtf8(e2e::expectedImagePath(edge)));
    EXPECT_EQ(second.category, 1);
    EXPECT_GE(logformat::durationMs(first), 1000);
    const std::int64_t total = logformat::durationMs(first) + logformat::durationMs(second);
    EXPECT_NEAR(static_cast<double>(total), 3000.0, 200.0) << "the events add up to the run";
    expectNoHoles(events);
}

TEST(CollectorUnderWine, AnIdleEventLiesBetweenTwoActiveOnes) {
    const std::wstring work = e2e::freshDirectory(L"collector-idle");
    const std::wstring log = work + L"\\log";
    const std::wstring word = e2e::copyWindowHelper(work, L"WINWORD.EXE");
    e2e::HelperWindow window;
    ASSERT_TRUE(e2e::showWindow(word, planTitle, work, window));

    // Input while the collector starts (Wine takes its time over that), none for
    // longer than --idle-after, then input until the end.
    Running collector;
    startCollector(collector, L"--interval 0.2 --for 6 --idle-after 1.5 --dir \"" + log + L"\"");
    for (int i = 0; i < 5; ++i) {
        giveInput(window);
        Sleep(300);
    }
    Sleep(2500);
    while (!collector.done) {
        giveInput(window);
        Sleep(300);
    }
    expectSoundRun(collector);

    const std::vector<LogEvent> events = readLog(log);
    ASSERT_EQ(statesOf(events),
              (std::vector{ActivityState::active, ActivityState::idle, ActivityState::active}));
    EXPECT_EQ(events[1].title, planUtf8 + " - Word") << "the idle event names the window";
    EXPECT_GE(logformat::durationMs(events[1]), 1500);
    expectNoHoles(events);
}

// Logoff: the hidden window answers, and WM_ENDSESSION returns only once the open event
// is in the log, since the process may be ended right after.
TEST(CollectorUnderWine, LogoffClosesTheOpenEventBeforeItAnswers) {
    const std::wstring work = e2e::freshDirectory(L"collector-logoff");
    const std::wstring log = work + L"\\log";
    const std::wstring word = e2e::copyWindowHelper(work, L"WINWORD.EXE");
    e2e::HelperWindow window;
    ASSERT_TRUE(e2e::showWindow(word, planTitle, work, window));
    giveInput(window);

    Running collector;
    startCollector(collector, L"--interval 0.2 --for 30 --dir \"" + log + L"\"");
    HWND session = nullptr;
    for (int waited = 0; (session = FindWindowW(L"activity-log session", nullptr)) == nullptr;
         waited += 50) {
        ASSERT_LT(waited, 10000) << "no session window";
        Sleep(50);
    }
    Sleep(1500);
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(session, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK,
                                    5000, &answer));
    EXPECT_EQ(answer, TRUE) << "the collector doesn't hold up a logoff";
    const std::int64_t asked = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
    EXPECT_TRUE(SendMessageTimeoutW(session, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK,
                                    10000, &answer));
    const std::vector<LogEvent> events = readLog(log);
    EXPECT_FALSE(fs::exists(log + L"\\current.json"));
    expectSoundRun(collector);
    ASSERT_EQ(statesOf(events), (std::vector{ActivityState::active}));
    EXPECT_EQ(events[0].title, planUtf8 + " - Word");
    EXPECT_GE(logformat::durationMs(events[0]), 1000);
    EXPECT_NEAR(static_cast<double>(events[0].end.unixMs), static_cast<double>(asked), 500.0);
}

// A pattern that makes a backtracking matcher recurse per character, on the longest
// title a window gives: the 2 MiB stack of a Windows program held none of it.
TEST(CollectorUnderWine, AHostilePatternOnTheLongestTitleExcludesIt) {
    const std::wstring work = e2e::freshDirectory(L"collector-hostile");
    const std::wstring log = work + L"\\log";
    const std::wstring edge = e2e::copyWindowHelper(work, L"msedge.exe");
    e2e::HelperWindow window;
    ASSERT_TRUE(e2e::showWindow(edge, std::wstring(1022, L'\u5B57') + L"x", work, window));
    giveInput(window);

    Running collector;
    startCollector(collector,
                   L"--interval 0.2 --for 2 --exclude \"(.|\\s)*x\" --dir \"" + log + L"\"");
    expectSoundRun(collector);
    const std::vector<LogEvent> events = readLog(log);
    ASSERT_EQ(statesOf(events), (std::vector{ActivityState::active}));
    EXPECT_EQ(events[0].title, "excluded");
    EXPECT_EQ(events[0].curatedTitle, "");
    EXPECT_EQ(events[0].app, "Microsoft Edge");
}

std::string readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

// The day file the collector wrote in FOLDER.
fs::path dayFileIn(const std::wstring& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == L".jsonl") {
            return entry.path();
        }
    }
    ADD_FAILURE() << "no day file";
    return fs::path(folder) / L"none.jsonl";
}

// A folder that can't be locked at the start (a file in its place) is locked as soon as
// it can be made; the time before is written then, once, and a second collector is
// refused.
TEST(CollectorUnderWine, AFolderLockedLateIsWrittenOnceAndRefusesASecondCollector) {
    const TwoWindows windows(L"collector-late-lock");
    const std::wstring& log = windows.log;
    writeBytes(log, "");

    Running first;
    startCollector(first, L"--interval 0.2 --for 4 --dir \"" + log + L"\"");
    Sleep(1500);
    EXPECT_TRUE(fs::is_regular_file(log) && fs::file_size(log) == 0) << "written before the lock";
    fs::remove(log);
    for (int waited = 0; !fs::exists(log + L"\\current.json"); waited += 50) {
        ASSERT_LT(waited, 10000) << "the folder never written";
        Sleep(50);
    }
    const e2e::RunResult second =
        e2e::runProgram(collectorPath(), L"--interval 0.2 --for 1 --dir \"" + log + L"\"");
    EXPECT_EQ(second.exitCode, 2u);
    EXPECT_NE(second.err.find("another activity-log"), std::string::npos) << second.err;
    first.thread.join();
    EXPECT_EQ(first.result.exitCode, 0u);
    EXPECT_NE(first.result.err.find("can't write the log"), std::string::npos) << first.result.err;

    const std::vector<LogEvent> events = readLog(log);
    std::int64_t total = 0;
    for (const LogEvent& event : events) {
        total += logformat::durationMs(event);
    }
    EXPECT_NEAR(static_cast<double>(total), 4000.0, 300.0) << "one collector's run, once";
    expectNoHoles(events);
}

// Without a console, standard error is no copy: events the day file didn't take wait in
// current.json, and the next start appends them, in order, once; after a torn last line
// (its line end lost, NUL padding: a power cut's tail), on a line of their own.
TEST(CollectorUnderWine, EventsTheDayFileDidntTakeWaitForTheNextStart) {
    TwoWindows windows(L"collector-queued");
    const std::wstring& log = windows.log;
    {
        Running learn;
        startCollector(learn, L"--interval 0.2 --for 0.6 --dir \"" + log + L"\"");
        expectSoundRun(learn);
    }
    // A folder in the day file's place: it can't be written, current.json can.
    const fs::path day = dayFileIn(log);
    const std::string torn = readBytes(day).substr(0, 100) + std::string(8, '\0');
    fs::remove(day);
    fs::create_directory(day);

    Running blocked;
    windows.runOnce(blocked);
    EXPECT_EQ(blocked.result.exitCode, 1u);
    EXPECT_NE(blocked.result.err.find("current.json"), std::string::npos) << blocked.result.err;
    fs::remove(day);
    writeBytes(day, torn);

    Running next;
    startCollector(next, L"--interval 0.2 --for 1 --dir \"" + log + L"\"");
    expectSoundRun(next);
    EXPECT_FALSE(fs::exists(log + L"\\current.json"));
    const std::string bytes = readBytes(day);
    ASSERT_EQ(bytes.substr(0, torn.size() + 1), torn + "\n") << "glued onto the torn line";
    writeBytes(day, bytes.substr(torn.size() + 1));
    const std::vector<LogEvent> events = readLog(log);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].title, planUtf8 + " - Word");
    EXPECT_EQ(events[1].title, "Example Domain");
    EXPECT_EQ(events[2].title, "Example Domain");
    EXPECT_EQ(events[0].end.unixMs, events[1].start.unixMs);
    EXPECT_LE(events[1].end.unixMs, events[2].start.unixMs);
}

TEST(CollectorUnderWine, HelpAndBadOptionsOnTheStreamsItWasGiven) {
    const e2e::RunResult help = e2e::runProgram(collectorPath(), L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    for (const char* option :
         {"--interval", "--timeout", "--idle-after", "--keep-active", "--exclude", "--dir",
          "--output", "--sampler", "--for", "--samples"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    for (const wchar_t* bad :
         {L"--interval 0", L"--output x", L"--exclude (", L"--exclude (a)\\1", L"--bogus"}) {
        const e2e::RunResult run = e2e::runProgram(collectorPath(), bad);
        EXPECT_EQ(run.exitCode, 2u);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("activity-log: ", 0), 0u) << run.err;
    }
}

} // namespace
