// The whole program on a headless GNOME Shell of its own (a session bus and a system bus
// of its own, a stand-in GDM, a fresh home), with the extension installed from the
// build as a user installs it: native Wayland and XWayland windows, hostile titles, no
// window, an extension missing, disabled, of another version or silent, the collector's
// idle time and lock from the shell, and the shell gone under a running collector.
//
//   gnome_desktop_test SAMPLER COLLECTOR WAYLAND_CLIENT X11_WINDOW GNOME_SHELL DBUS_DAEMON
//                      GSETTINGS GDBUS BUS_STAND_IN HELPER_EXTENSION BUILT_EXTENSION
//                      [gtest options]
#include "expected_line.h"
#include "gnome_session.h"
#include "platform/gnome_shell_extension.h"
#include "platform/input_idle.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace {

using namespace gnome_test;
using Clock = std::chrono::steady_clock;

std::string samplerPath;
std::string collectorPath;
std::string clientPath;
std::string x11ClientPath;
std::string builtExtension; // the build's two forms
Programs programs;
GnomeShell* shell = nullptr;
Result installed; // `activity-log gnome-extension install` on the fresh home

const std::string extensionUuid = platform::gnome::extensionUuid;
const std::string helperUuid = "leave-overview@activity-sampler-tests";

class HeadlessGnome : public testing::Environment {
  public:
    void SetUp() override {
        shell = &session_;
        ASSERT_EQ(session_.prepare(programs), "");
        installed = run(collectorPath, {"gnome-extension", "install"}, session_.environment());
        ASSERT_EQ(session_.startShell(programs), "");
    }
    void TearDown() override { session_.stop(); }

  private:
    GnomeShell session_;
};

template <class Test> bool waitFor(Test test, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (!test()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string line(const std::string& title, const std::string& curated, const std::string& pid,
                 const std::string& name, const std::string& path, int category) {
    return test_support::expectedLine(title, curated, curated, pid, name, path, category);
}

const std::string noWindowLine = line("", "", "0", "Unknown", "", 0);

Result sample() {
    return runWithin(samplerPath, {}, shell->environment(), 20000);
}

// The shell gives a new window the focus once it is mapped, a moment after the client
// has drawn it: the line is taken once it names the window's pid (or after the bound).
Result sampleNaming(const std::string& pid) {
    Result result;
    waitFor(
        [&] {
            result = sample();
            return result.out.find("\"Pid\": " + pid + ",") != std::string::npos;
        },
        std::chrono::seconds(20));
    return result;
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A copy of a test client under the name of an application, its window up.
struct Window {
    Scratch scratch;
    fs::path copy;
    std::unique_ptr<Client> client;

    Window(const std::string& program, const std::string& name,
           const std::vector<std::string>& arguments)
        : copy(scratch.path() / name) {
        fs::copy_file(program, copy);
        client = std::make_unique<Client>(copy, arguments, shell->environment());
    }
    bool ready() const { return client->ready(); }
    std::string pid() const { return std::to_string(client->pid()); }
};

// The extension installed from the build on the fresh home: the form this shell (43)
// takes, enabled beside the entry that was there.
TEST(GnomeInstall, FromTheBuildOnAFreshHome) {
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_NE(installed.out.find("next login"), std::string::npos) << installed.out;
    const fs::path folder = shell->home / ".local/share/gnome-shell/extensions" / extensionUuid;
    for (const char* file : {"extension.js", "metadata.json"}) {
        EXPECT_EQ(readFile(folder / file), readFile(fs::path(builtExtension) / "legacy" / file))
            << file;
    }
    EXPECT_EQ(shell->gsettings(programs, {"get", "org.gnome.shell", "enabled-extensions"}).out,
              "['" + helperUuid + "', '" + extensionUuid + "']\n");
}

struct TitleCase {
    const char* label;
    std::string title; // as the client sets it
    std::string lineTitle;
    std::string curated;
};

void PrintTo(const TitleCase& c, std::ostream* out) {
    *out << c.label;
}

std::string caseName(const testing::TestParamInfo<TitleCase>& test) {
    std::string name;
    for (const char* p = test.param.label; *p != '\0'; ++p) {
        name.push_back(std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
    }
    return name;
}

const std::string grinningByUnit = "\xED\xA0\xBD\xED\xB8\x80";
const std::string replacementChar = "\xEF\xBF\xBD";

// The titles of the sway tests, through the extension: the same line.
const TitleCase titleCases[] = {
    {"plain", "report.docx - Word", "report.docx - Word", "report.docx"},
    {"beyond the BMP", "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 - Word",
     "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 - Word", "R\xC3\xA9sum\xC3\xA9 " + grinningByUnit},
    {"quotes, backslash and tab", "\"a\\b\"\tc - Word", " a/b \\tc - Word", " a/b \\tc"},
    {"control characters", "a\x01\x1F\x7F - Word", "a\\u0001\\u001f\x7F - Word",
     "a\\u0001\\u001f\x7F"},
    {"1500 units cut to 1023", "a - " + repeat("b", 1496), "a - " + repeat("b", 1019), "a"},
    {"cut inside a surrogate pair", repeat("x", 1022) + "\xF0\x9F\x98\x80",
     repeat("x", 1022) + replacementChar, repeat("x", 1022) + replacementChar},
};

class GnomeNativeWindow : public testing::TestWithParam<TitleCase> {};

TEST_P(GnomeNativeWindow, LineIsExact) {
    const TitleCase& c = GetParam();
    const Window window(clientPath, "WINWORD.EXE", {"--title=" + c.title, "--app-id=word"});
    ASSERT_TRUE(window.ready());
    const Result result = sampleNaming(window.pid());
    EXPECT_EQ(result.out, line(c.lineTitle, c.curated, window.pid(), "Microsoft Word",
                               window.copy.string(), 8));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Gnome, GnomeNativeWindow, testing::ValuesIn(titleCases), caseName);

class GnomeXWaylandWindow : public testing::TestWithParam<TitleCase> {};

TEST_P(GnomeXWaylandWindow, LineIsExact) {
    const TitleCase& c = GetParam();
    const Window window(x11ClientPath, "WINWORD.EXE", {"--title=" + c.title});
    ASSERT_TRUE(window.ready());
    const Result result = sampleNaming(window.pid());
    EXPECT_EQ(result.out, line(c.lineTitle, c.curated, window.pid(), "Microsoft Word",
                               window.copy.string(), 8));
    EXPECT_EQ(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(Gnome, GnomeXWaylandWindow,
                         testing::Values(titleCases[0], titleCases[1], titleCases[2]), caseName);

// A native and an XWayland window, each focused in turn; once both are gone, no window
// and nothing on standard error.
TEST(GnomeFocus, FollowsTheFocusedWindow) {
    auto native = std::make_unique<Window>(
        clientPath, "msedge.exe",
        std::vector<std::string>{"--title=Weather and 2 more pages - Profile 1 - Browser"});
    ASSERT_TRUE(native->ready());
    const std::string nativeLine = line("Weather and 2 more pages - Profile 1 - Browser", "Weather",
                                        native->pid(), "Microsoft Edge", native->copy.string(), 1);
    EXPECT_EQ(sampleNaming(native->pid()).out, nativeLine);
    auto xwayland = std::make_unique<Window>(
        x11ClientPath, "editor", std::vector<std::string>{"--title=notes.txt - Editor"});
    ASSERT_TRUE(xwayland->ready());
    EXPECT_EQ(sampleNaming(xwayland->pid()).out,
              line("notes.txt - Editor", "notes.txt - Editor", xwayland->pid(), "editor",
                   xwayland->copy.string(), 0));
    xwayland.reset();
    EXPECT_EQ(sampleNaming(native->pid()).out, nativeLine);
    native.reset();
    Result result;
    EXPECT_TRUE(
        waitFor([&] { return (result = sample()).out == noWindowLine; }, std::chrono::seconds(20)));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

std::string message(const std::string& problem) {
    return "activity-sampler: GNOME Shell's extension " + extensionUuid + " " + problem +
           "; `activity-log gnome-extension install` installs and enables it, then log out and "
           "back in; no window is named\n";
}

// The extension out of reach, each way, with a window in front: the no-window line, and
// the one message that says what is wrong and what mends it. Removing the extension
// leaves the other entries of the settings; installing it again and logging in again
// brings the window back.
TEST(GnomeExtension, OutOfReachIsSaid) {
    const Window window(clientPath, "WINWORD.EXE", {"--title=report.docx - Word"});
    ASSERT_TRUE(window.ready());
    const std::string word = line("report.docx - Word", "report.docx", window.pid(),
                                  "Microsoft Word", window.copy.string(), 8);
    ASSERT_EQ(sampleNaming(window.pid()).out, word);
    const auto sampleUntilSaid = [](const std::string& err) {
        Result result;
        waitFor([&] { return (result = sample()).err == err; }, std::chrono::seconds(20));
        return result;
    };

    // Disabled: the shell takes it out at once.
    ASSERT_EQ(shell
                  ->gsettings(programs, {"set", "org.gnome.shell", "enabled-extensions",
                                         "['" + helperUuid + "']"})
                  .status,
              0);
    const std::string disabled =
        message("is installed but not running (disabled, or installed since this login)");
    Result result = sampleUntilSaid(disabled);
    EXPECT_EQ(result.out, noWindowLine);
    EXPECT_EQ(result.err, disabled);
    EXPECT_EQ(result.status, 0);

    // Another version, one with another interface, and one that never answers, in its
    // place on the bus.
    const struct {
        std::vector<std::string> standIn;
        std::string err;
    } standIns[] = {
        {{"extension", "2"}, message("is version 2, and this program needs version 1")},
        {{"silent"}, message("did not answer within 2 s")},
        {{"renamed"}, message("is of another version, and this program needs version 1")},
    };
    for (const auto& c : standIns) {
        Daemon standIn;
        ASSERT_TRUE(standIn.start(programs.standIn, c.standIn, shell->environment()));
        result = sample();
        EXPECT_EQ(result.out, noWindowLine);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.status, 0);
    }

    // Missing: removed by the command, the other entry kept.
    const Result removed = run(collectorPath, {"gnome-extension", "remove"}, shell->environment());
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_FALSE(fs::exists(shell->home / ".local/share/gnome-shell/extensions" / extensionUuid));
    EXPECT_EQ(shell->gsettings(programs, {"get", "org.gnome.shell", "enabled-extensions"}).out,
              "['" + helperUuid + "']\n");
    result = sample();
    EXPECT_EQ(result.out, noWindowLine);
    EXPECT_EQ(result.err, message("is not installed"));
    const Result removedAgain =
        run(collectorPath, {"gnome-extension", "remove"}, shell->environment());
    EXPECT_EQ(removedAgain.status, 0);
    EXPECT_NE(removedAgain.out.find("is not installed"), std::string::npos) << removedAgain.out;

    // Installed again, and a new login.
    const Result again = run(collectorPath, {"gnome-extension", "install"}, shell->environment());
    EXPECT_EQ(again.status, 0) << again.err;
    shell->stopShell();
    ASSERT_EQ(shell->startShell(programs), "");
    const Window after(clientPath, "WINWORD.EXE", {"--title=report.docx - Word"});
    ASSERT_TRUE(after.ready());
    result = sampleNaming(after.pid());
    EXPECT_EQ(result.out, line("report.docx - Word", "report.docx", after.pid(), "Microsoft Word",
                               after.copy.string(), 8));
    EXPECT_EQ(result.err, "");
}

void useShellEnvironment() {
    for (const auto& [name, value] : shell->environment()) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

// The collector's idle time from Mutter: no input at all on a headless shell, so it
// grows with the time that passes (XWayland's count would be the wrong one).
TEST(GnomeCollector, IdleFromMutter) {
    useShellEnvironment();
    // A shell busy starting (the one before may have just restarted it) can take longer
    // than the collector waits: it is asked again until it answers.
    std::optional<std::int64_t> first;
    ASSERT_TRUE(waitFor([&] { return (first = platform::inputIdleMilliseconds()).has_value(); },
                        std::chrono::seconds(20)));
    const auto asked = Clock::now();
    std::optional<std::int64_t> later;
    // Mutter counts in milliseconds of its own clock: wait for a second of it.
    ASSERT_TRUE(waitFor(
        [&] {
            later = platform::inputIdleMilliseconds();
            return later && *later >= *first + 1000;
        },
        std::chrono::seconds(10)));
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
    EXPECT_LE(*later - *first, elapsed + 50);
}

// A collector running with its log in FOLDER, stopped (and waited for) at the end.
struct Collector {
    Scratch folder;
    pid_t pid = -1;
    int err = -1;

    Collector() {
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
            return;
        }
        pid = spawn(collectorPath,
                    {"--sampler", samplerPath, "--interval", "0.2", "--idle-after", "3600", "--dir",
                     folder.path().string()},
                    shell->environment(), -1, -1, pipeEnds[1]);
        close(pipeEnds[1]);
        err = pipeEnds[0];
    }
    ~Collector() { stop(); }
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    // The open event's state is STATE (current.json says so), within the bound.
    bool reaches(const std::string& state) const {
        return waitFor(
            [&] {
                return readFile(folder.path() / "current.json")
                           .find("\"state\": \"" + state + "\"") != std::string::npos;
            },
            std::chrono::seconds(20));
    }
    // Stops it; its exit status, or -1.
    int stop() {
        int status = 0;
        if (pid <= 0) {
            return -1;
        }
        kill(pid, SIGTERM);
        const bool exited = waitpid(pid, &status, 0) == pid && WIFEXITED(status);
        pid = -1;
        if (err >= 0) {
            close(err);
            err = -1;
        }
        return exited ? WEXITSTATUS(status) : -1;
    }
    // The first line it wrote on standard error, within the bound.
    std::string firstMessage() const {
        std::string line;
        char c = 0;
        pollfd ready{err, POLLIN, 0};
        while (line.size() < 4096 && poll(&ready, 1, 20000) == 1 && read(err, &c, 1) == 1 &&
               c != '\n') {
            line.push_back(c);
        }
        return line;
    }
    // The events of its log, a line each.
    std::vector<std::string> events() const {
        std::vector<std::string> lines;
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            if (entry.path().extension() == ".jsonl") {
                std::istringstream text(readFile(entry.path()));
                for (std::string line; std::getline(text, line);) {
                    lines.push_back(line);
                }
            }
        }
        return lines;
    }
};

bool stateIs(const std::string& event, const std::string& state) {
    return event.find("\"state\": \"" + state + "\"") != std::string::npos;
}

bool screenSaver(const std::string& method, const std::vector<std::string>& arguments) {
    std::vector<std::string> call = {"call",          "--session",
                                     "--dest",        "org.gnome.ScreenSaver",
                                     "--object-path", "/org/gnome/ScreenSaver",
                                     "--method",      "org.gnome.ScreenSaver." + method};
    call.insert(call.end(), arguments.begin(), arguments.end());
    return runWithin(programs.gdbus, call, shell->environment(), 20000).status == 0;
}

// Locked with the stand-in GDM's help, and unlocked: the locked event keeps none of the
// window's text, and the line names no window while the lock is up.
TEST(GnomeCollector, LockedAndBack) {
    if (!fs::exists("/run/systemd/seats")) {
        GTEST_SKIP() << "GNOME Shell offers its lock screen only under systemd-logind "
                        "(/run/systemd/seats), which this machine lacks";
    }
    const Window window(clientPath, "WINWORD.EXE", {"--title=secret.docx - Word"});
    ASSERT_TRUE(window.ready());
    ASSERT_NE(sampleNaming(window.pid()).out.find("secret"), std::string::npos);
    Collector collector;
    ASSERT_TRUE(collector.reaches("active"));
    ASSERT_TRUE(screenSaver("Lock", {}));
    EXPECT_TRUE(collector.reaches("locked"));
    const Result locked = sample();
    EXPECT_EQ(locked.out, noWindowLine);
    EXPECT_EQ(locked.err, "");
    ASSERT_TRUE(screenSaver("SetActive", {"false"}));
    EXPECT_TRUE(collector.reaches("active"));
    EXPECT_EQ(collector.stop(), 0);
    const std::vector<std::string> events = collector.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_TRUE(stateIs(events[0], "active")) << events[0];
    EXPECT_TRUE(stateIs(events[1], "locked")) << events[1];
    EXPECT_EQ(events[1].find("secret"), std::string::npos) << events[1];
    EXPECT_NE(events[1].find("\"pid\": 0"), std::string::npos) << events[1];
    EXPECT_TRUE(stateIs(events[2], "active")) << events[2];
    EXPECT_NE(events[2].find("secret"), std::string::npos) << events[2];
}

// The shell gone under a running collector: the window's event ends, no window follows,
// and the collector records on.
TEST(GnomeCollector, ShellGoneWhileRunning) {
    const Window window(clientPath, "WINWORD.EXE", {"--title=report.docx - Word"});
    ASSERT_TRUE(window.ready());
    ASSERT_NE(sampleNaming(window.pid()).out.find("report.docx"), std::string::npos);
    Collector collector;
    ASSERT_TRUE(collector.reaches("active"));
    const std::string start = collector.firstMessage();
    EXPECT_NE(start.find("; desktop: GNOME Shell (WAYLAND_DISPLAY="), std::string::npos) << start;
    EXPECT_NE(start.find("; idle time: GNOME Shell (org.gnome.Mutter.IdleMonitor)"),
              std::string::npos)
        << start;
    shell->stopShell();
    EXPECT_TRUE(collector.reaches("none"));
    EXPECT_EQ(collector.stop(), 0);
    const std::vector<std::string> events = collector.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(stateIs(events[0], "active")) << events[0];
    EXPECT_TRUE(stateIs(events[1], "none")) << events[1];
    // The next test, if any, finds a shell again.
    EXPECT_EQ(shell->startShell(programs), "");
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 12) {
        std::fprintf(stderr,
                     "usage: %s SAMPLER COLLECTOR WAYLAND_CLIENT X11_WINDOW GNOME_SHELL "
                     "DBUS_DAEMON GSETTINGS GDBUS BUS_STAND_IN HELPER_EXTENSION BUILT_EXTENSION "
                     "[gtest options]\n",
                     argv[0]);
        return 2;
    }
    samplerPath = fs::absolute(argv[1]).string();
    collectorPath = fs::absolute(argv[2]).string();
    clientPath = fs::absolute(argv[3]).string();
    x11ClientPath = fs::absolute(argv[4]).string();
    programs.gnomeShell = argv[5];
    programs.dbusDaemon = argv[6];
    programs.gsettings = argv[7];
    programs.gdbus = argv[8];
    programs.standIn = fs::absolute(argv[9]).string();
    programs.helperExtension = fs::absolute(argv[10]).string();
    builtExtension = fs::absolute(argv[11]).string();
    testing::AddGlobalTestEnvironment(new HeadlessGnome);
    return RUN_ALL_TESTS();
}
