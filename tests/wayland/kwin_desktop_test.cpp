// The whole program on a KWin of its own (a virtual output, a session bus of its own):
// native Wayland and XWayland windows owned by copies of the test clients, named as known
// applications, and the line the program prints for each; the window that KWin makes
// active when another closes; no window; a KWin whose scripting can't be reached.
//
//   kwin_desktop_test SAMPLER WAYLAND_CLIENT X11_WINDOW KWIN DBUS_DAEMON DBUS_SEND [gtest
//   options]
#include "expected_line.h"
#include "kwin_session.h"
#include "platform/desktop_probe.h"
#include "platform/input_idle.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

namespace {

using namespace wayland_test;

std::string samplerPath;
std::string clientPath;
std::string x11ClientPath;
std::string kwinPath;
std::string dbusDaemonPath;
std::string dbusSendPath;
Kwin* kwin = nullptr;

class VirtualKwin : public testing::Environment {
  public:
    void SetUp() override {
        kwin = &session_;
        ASSERT_EQ(session_.start(kwinPath, dbusDaemonPath, dbusSendPath), "");
    }
    void TearDown() override { session_.stop(); }

  private:
    Kwin session_;
};

std::string line(const std::string& title, const std::string& curated, const std::string& pid,
                 const std::string& name, const std::string& path, int category) {
    return test_support::expectedLine(title, curated, curated, pid, name, path, category);
}

const std::string noWindowLine = line("", "", "0", "Unknown", "", 0);

Result sample(const Environment& changes = {}) {
    Environment environment = kwin->clientEnvironment();
    for (const auto& [name, value] : changes) {
        environment[name] = value;
    }
    return run(samplerPath, {}, environment);
}

// A copy of the test client under the name of an application, its window up (and
// made active by KWin, as a new window is).
struct Window {
    Scratch scratch;
    fs::path copy;
    std::unique_ptr<Client> client;

    Window(const std::string& name, const std::vector<std::string>& arguments,
           const std::string& program = clientPath)
        : copy(scratch.path() / name) {
        fs::copy_file(program, copy);
        client = std::make_unique<Client>(copy, arguments, kwin->clientEnvironment());
    }
    bool ready() const { return client->ready(); }
    std::string pid() const { return std::to_string(client->pid()); }
};

struct TitleCase {
    const char* label;
    std::string title; // as the client sets it
    std::string lineTitle;
    std::string curated;
};

void PrintTo(const TitleCase& c, std::ostream* out) {
    *out << c.label;
}

const std::string replacementChar = "\xEF\xBF\xBD";

// The titles of the sway tests, through KWin's script: the same line.
const TitleCase titleCases[] = {
    {"plain", "report.docx - Word", "report.docx - Word", "report.docx"},
    {"beyond_the_BMP", "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 - Word",
     "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 - Word",
     "R\xC3\xA9sum\xC3\xA9 \xED\xA0\xBD\xED\xB8\x80"},
    {"quotes_and_backslash", "\"a\\b\" c - Word", " a/b  c - Word", " a/b  c"},
    {"control_characters", "a\x01\x1F\x7F - Word", "a\\u0001\\u001f\x7F - Word",
     "a\\u0001\\u001f\x7F"},
    {"invalid_UTF_8", "bad\xFF - Word", "bad" + replacementChar + " - Word",
     "bad" + replacementChar},
};

class KwinNativeWindow : public testing::TestWithParam<TitleCase> {};

TEST_P(KwinNativeWindow, LineIsExact) {
    const TitleCase& c = GetParam();
    const Window window("WINWORD.EXE", {"--title=" + c.title, "--app-id=word"});
    ASSERT_TRUE(window.ready());
    const Result result = sample();
    EXPECT_EQ(result.out, line(c.lineTitle, c.curated, window.pid(), "Microsoft Word",
                               window.copy.string(), 8));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Kwin, KwinNativeWindow, testing::ValuesIn(titleCases),
                         [](const testing::TestParamInfo<TitleCase>& test) {
                             return std::string(test.param.label);
                         });

// The line follows the active window: the newer one, then the older one once the
// newer has gone, then none.
TEST(KwinFocus, FollowsTheActiveWindow) {
    auto editor =
        std::make_unique<Window>("editor", std::vector<std::string>{"--title=notes.txt - Editor"});
    ASSERT_TRUE(editor->ready());
    const std::string editorLine = line("notes.txt - Editor", "notes.txt - Editor", editor->pid(),
                                        "editor", editor->copy.string(), 0);
    EXPECT_EQ(sample().out, editorLine);
    auto browser = std::make_unique<Window>(
        "msedge.exe",
        std::vector<std::string>{"--title=Weather and 2 more pages - Profile 1 - Browser"});
    ASSERT_TRUE(browser->ready());
    EXPECT_EQ(sample().out, line("Weather and 2 more pages - Profile 1 - Browser", "Weather",
                                 browser->pid(), "Microsoft Edge", browser->copy.string(), 1));
    browser.reset();
    EXPECT_EQ(sample().out, editorLine);
    editor.reset();
    const Result result = sample();
    EXPECT_EQ(result.out, noWindowLine);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

// The session bus where DBUS_SESSION_BUS_ADDRESS says, else in the runtime folder; KWin
// known by its process without XDG_CURRENT_DESKTOP; KWin in front but its scripting out
// of reach: no window, and one line saying why.
TEST(KwinBus, FoundOrSaidToBeOutOfReach) {
    const Window window("WINWORD.EXE", {"--title=report.docx - Word"});
    ASSERT_TRUE(window.ready());
    const std::string word = line("report.docx - Word", "report.docx", window.pid(),
                                  "Microsoft Word", window.copy.string(), 8);
    const Scratch elsewhere;
    const std::string outOfReach =
        "activity-sampler: KWin on Wayland tells the active window only to its own scripts, and "
        "its scripting interface (org.kde.KWin on the session bus) ran none for this program; no "
        "window is named\n";
    const struct {
        Environment changes;
        std::string out;
        std::string err;
    } cases[] = {
        {{{"DBUS_SESSION_BUS_ADDRESS", std::nullopt}}, word, ""},
        {{{"XDG_CURRENT_DESKTOP", std::nullopt}}, word, ""},
        {{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (elsewhere.path() / "bus").string()}},
         noWindowLine,
         outOfReach},
        {{{"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
          {"XDG_RUNTIME_DIR", elsewhere.path().string()},
          {"WAYLAND_DISPLAY", (kwin->runtime.path() / kwin->waylandDisplay).string()}},
         noWindowLine,
         outOfReach},
    };
    for (const auto& c : cases) {
        const Result result = sample(c.changes);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.status, 0);
    }
}

// A script left loaded under the run's name (an earlier run of the same pid that didn't
// end well) is replaced, not taken for a failure; the run leaves no file behind.
TEST(KwinScript, LeftLoadedByAnEarlierRun) {
    const Window window("WINWORD.EXE", {"--title=report.docx - Word"});
    ASSERT_TRUE(window.ready());
    const fs::path stale = kwin->runtime.path() / "stale.js";
    std::ofstream(stale) << "print('left behind');\n";
    Environment environment = kwin->clientEnvironment();
    const Result result =
        run("/bin/sh",
            {"-c", dbusSendPath +
                       " --session --print-reply --dest=org.kde.KWin /Scripting "
                       "org.kde.kwin.Scripting.loadScript string:" +
                       stale.string() + " string:activity-sampler-$$ >/dev/null && exec " +
                       samplerPath},
            environment);
    const std::string pid = window.pid();
    EXPECT_EQ(result.out, line("report.docx - Word", "report.docx", pid, "Microsoft Word",
                               window.copy.string(), 8));
    EXPECT_EQ(result.err, "");
    for (const auto& entry : fs::directory_iterator(kwin->runtime.path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("activity-sampler"))
            << entry.path();
    }
}

// The collector's idle time from KWin's idle protocol: no input at all on a virtual
// output, so idle from the watch's start (XWayland's count would be the wrong one).
// KWin's idle timers are Qt's coarse ones, which may fire 5% early: 50 ms of a second.
TEST(KwinIdle, CountedByTheCompositor) {
    for (const auto& [name, value] : kwin->clientEnvironment()) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    const auto watched = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::inputIdleMilliseconds(), std::optional<std::int64_t>(0));
    // As the collector's line at its start names them.
    const platform::DesktopProbe probe = platform::probeDesktop();
    EXPECT_EQ(probe.desktop.rfind("KWin (WAYLAND_DISPLAY=", 0), 0u) << probe.desktop;
    EXPECT_TRUE(probe.idleSource == "the compositor (ext_idle_notifier_v1)" ||
                probe.idleSource == "the compositor (org_kde_kwin_idle)")
        << probe.idleSource;
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const std::optional<std::int64_t> away = platform::inputIdleMilliseconds();
    ASSERT_TRUE(away.has_value());
    EXPECT_GE(*away, 2000);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - watched);
    EXPECT_LE(*away, elapsed.count() + 50);
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 7) {
        std::fprintf(stderr,
                     "usage: %s SAMPLER WAYLAND_CLIENT X11_WINDOW KWIN DBUS_DAEMON DBUS_SEND "
                     "[gtest options]\n",
                     argv[0]);
        return 2;
    }
    samplerPath = fs::absolute(argv[1]).string();
    clientPath = fs::absolute(argv[2]).string();
    x11ClientPath = fs::absolute(argv[3]).string();
    kwinPath = argv[4];
    dbusDaemonPath = argv[5];
    dbusSendPath = argv[6];
    testing::AddGlobalTestEnvironment(new VirtualKwin);
    return RUN_ALL_TESTS();
}
