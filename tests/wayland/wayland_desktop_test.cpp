// The whole program on a headless sway: native Wayland and XWayland windows owned by
// copies of the test clients, named as known applications, and the line the program
// prints for each; sway's IPC found by SWAYSOCK and without it; the foreign-toplevel
// manager where there is no IPC; a compositor that offers neither.
//
//   wayland_desktop_test SAMPLER WAYLAND_CLIENT X11_WINDOW SWAY [gtest options]
#include "expected_line.h"
#include "sway_session.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace wayland_test;

std::string samplerPath;
std::string nativeClientPath;
std::string x11ClientPath;
std::string swayPath;
Sway* sway = nullptr;

class HeadlessSway : public testing::Environment {
  public:
    void SetUp() override {
        sway = &session_;
        const std::string failure = session_.start(swayPath);
        ASSERT_EQ(failure, "");
    }
    void TearDown() override { session_.stop(); }

  private:
    Sway session_;
};

const auto line = test_support::expectedLine;

const std::string noWindowLine = line("", "", "", "0", "Unknown", "", 0);

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

// The sampler's output on sway, with changes to the clients' environment.
Result sample(const Environment& changes = {}) {
    Environment environment = sway->clientEnvironment();
    for (const auto& [name, value] : changes) {
        environment[name] = value;
    }
    return run(samplerPath, {}, environment);
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
        client = std::make_unique<Client>(copy, arguments, sway->clientEnvironment());
    }
    bool ready() const { return client->ready(); }
    std::string pid() const { return std::to_string(client->pid()); }
};

// The new window has the focus once sway has mapped it; asked for by pid, as the
// tests' windows come and go.
bool focus(const Window& window) {
    return sway->command("[pid=" + window.pid() + "] focus");
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

// UTF-8 by code unit: U+1F600 as its two surrogates, three bytes each, as on X11.
const std::string grinningByUnit = "\xED\xA0\xBD\xED\xB8\x80";
const std::string replacementChar = "\xEF\xBF\xBD";

// The titles of the X11 tests, through sway's JSON: the same line.
const TitleCase titleCases[] = {
    {"plain", "report.docx - Word", "report.docx - Word", "report.docx"},
    {"beyond the BMP", "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 - Word",
     "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 - Word", "R\xC3\xA9sum\xC3\xA9 " + grinningByUnit},
    {"quotes, backslash and tab", "\"a\\b\"\tc - Word", " a/b \\tc - Word", " a/b \\tc"},
    {"control characters", "a\x01\x1F\x7F - Word", "a\\u0001\\u001f\x7F - Word",
     "a\\u0001\\u001f\x7F"},
    {"invalid UTF-8", "bad\xFF - Word", "bad" + replacementChar + " - Word",
     "bad" + replacementChar},
    {"1500 units cut to 1023", "a - " + repeat("b", 1496), "a - " + repeat("b", 1019), "a"},
    {"cut inside a surrogate pair", repeat("x", 1022) + "\xF0\x9F\x98\x80",
     repeat("x", 1022) + replacementChar, repeat("x", 1022) + replacementChar},
};

class NativeWindow : public testing::TestWithParam<TitleCase> {};

TEST_P(NativeWindow, LineIsExact) {
    const TitleCase& c = GetParam();
    const Window window(nativeClientPath, "WINWORD.EXE", {"--title=" + c.title, "--app-id=word"});
    ASSERT_TRUE(window.ready());
    ASSERT_TRUE(focus(window));
    const Result result = sample();
    EXPECT_EQ(result.out, line(c.lineTitle, c.curated, c.curated, window.pid(), "Microsoft Word",
                               window.copy.string(), 8));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Sway, NativeWindow, testing::ValuesIn(titleCases), caseName);

class XWaylandWindow : public testing::TestWithParam<TitleCase> {};

TEST_P(XWaylandWindow, LineIsExact) {
    const TitleCase& c = GetParam();
    const Window window(x11ClientPath, "WINWORD.EXE", {"--title=" + c.title});
    ASSERT_TRUE(window.ready());
    ASSERT_TRUE(focus(window));
    EXPECT_EQ(sample().out, line(c.lineTitle, c.curated, c.curated, window.pid(), "Microsoft Word",
                                 window.copy.string(), 8));
}

INSTANTIATE_TEST_SUITE_P(Sway, XWaylandWindow,
                         testing::Values(titleCases[0], titleCases[1], titleCases[2]), caseName);

// Both kinds at once, each focused in turn: the line follows the focus, whichever
// client came last; sway's socket found from the display when SWAYSOCK is not set.
TEST(Focus, FollowsTheFocusedWindow) {
    const Window native(nativeClientPath, "msedge.exe",
                        {"--title=Weather and 2 more pages - Profile 1 - Browser"});
    const Window xwayland(x11ClientPath, "editor", {"--title=notes.txt - Editor"});
    ASSERT_TRUE(native.ready());
    ASSERT_TRUE(xwayland.ready());
    const std::string browser =
        line("Weather and 2 more pages - Profile 1 - Browser", "Weather", "Weather", native.pid(),
             "Microsoft Edge", native.copy.string(), 1);
    const std::string editor =
        line("notes.txt - Editor", "notes.txt - Editor", "notes.txt - Editor", xwayland.pid(),
             "editor", xwayland.copy.string(), 0);
    for (const Environment& changes : {Environment{}, Environment{{"SWAYSOCK", std::nullopt}}}) {
        ASSERT_TRUE(focus(native));
        EXPECT_EQ(sample(changes).out, browser);
        ASSERT_TRUE(focus(xwayland));
        EXPECT_EQ(sample(changes).out, editor);
        ASSERT_TRUE(focus(native));
        EXPECT_EQ(sample(changes).out, browser);
    }
    // A floating window is in the tree's other list.
    ASSERT_TRUE(sway->command("[pid=" + xwayland.pid() + "] floating enable, focus"));
    EXPECT_EQ(sample().out, editor);
}

// An empty workspace in front, by sway's IPC and by the foreign-toplevel manager.
TEST(Focus, NoWindowGivesTheNoWindowLine) {
    const Scratch elsewhere;
    ASSERT_TRUE(sway->command("workspace 9"));
    for (const Environment& changes :
         {Environment{}, Environment{{"SWAYSOCK", std::nullopt}},
          Environment{
              {"SWAYSOCK", std::nullopt},
              {"XDG_RUNTIME_DIR", elsewhere.path().string()},
              {"WAYLAND_DISPLAY", (sway->runtime.path() / sway->waylandDisplay).string()}}}) {
        const Result result = sample(changes);
        EXPECT_EQ(result.out, noWindowLine);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
    }
    ASSERT_TRUE(sway->command("workspace 1"));
}

// Without sway's socket in reach, the compositor's foreign-toplevel manager names the
// window: its title, no pid, and the app id for the executable's name.
TEST(ForeignToplevel, TitleAndAppIdWithoutPid) {
    const Scratch elsewhere;
    const Environment withoutIpc{
        {"SWAYSOCK", std::nullopt},
        {"XDG_RUNTIME_DIR", elsewhere.path().string()},
        {"WAYLAND_DISPLAY", (sway->runtime.path() / sway->waylandDisplay).string()}};
    const Window native(nativeClientPath, "client",
                        {"--title=\"a\\b\"\tc \xF0\x9F\x98\x80", "--app-id=org.example.Editor"});
    ASSERT_TRUE(native.ready());
    ASSERT_TRUE(focus(native));
    const std::string title = " a/b \\tc \xF0\x9F\x98\x80";
    const std::string curated = " a/b \\tc " + grinningByUnit;
    EXPECT_EQ(sample(withoutIpc).out,
              line(title, curated, curated, "0", "org.example.Editor", "", 0));
    // An app id the table knows names the application.
    const Window known(nativeClientPath, "client",
                       {"--title=a.docx - Word", "--app-id=WINWORD.EXE"});
    ASSERT_TRUE(known.ready());
    ASSERT_TRUE(focus(known));
    EXPECT_EQ(sample(withoutIpc).out,
              line("a.docx - Word", "a.docx", "a.docx", "0", "Microsoft Word", "", 8));
    // So does a Linux program's, in any letter case.
    const Window files(nativeClientPath, "client",
                       {"--title=Documents \u2014 Dolphin", "--app-id=ORG.KDE.DOLPHIN"});
    ASSERT_TRUE(files.ready());
    ASSERT_TRUE(focus(files));
    EXPECT_EQ(sample(withoutIpc).out,
              line("Documents \u2014 Dolphin", "Documents", "Documents", "0", "Dolphin", "", 10));
    // The activated one, not the last listed.
    ASSERT_TRUE(focus(native));
    EXPECT_EQ(sample(withoutIpc).out,
              line(title, curated, curated, "0", "org.example.Editor", "", 0));
}

// A compositor with no interface this program can ask: it lists no globals at all.
class BareCompositor {
  public:
    explicit BareCompositor(const fs::path& socketPath) {
        listener_ = listenOn(socketPath);
        thread_ = std::thread([this] { serve(); });
    }
    ~BareCompositor() {
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }
    BareCompositor(const BareCompositor&) = delete;
    BareCompositor& operator=(const BareCompositor&) = delete;

  private:
    // Each client: its first requests read (get_registry, sync with new id 3), the
    // sync answered with wl_callback.done, then the connection closed.
    void serve() {
        for (;;) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                return;
            }
            char requests[24];
            std::size_t got = 0;
            while (got < sizeof requests) {
                const ssize_t n = read(client, requests + got, sizeof requests - got);
                if (n <= 0) {
                    break;
                }
                got += static_cast<std::size_t>(n);
            }
            // A client that asked nothing (GNOME's is asked on the session bus) gets
            // nothing, and its closed connection no SIGPIPE.
            if (got == sizeof requests) {
                const std::uint32_t done[3] = {3, 12u << 16, 0};
                [[maybe_unused]] const ssize_t sent = send(client, done, sizeof done, MSG_NOSIGNAL);
            }
            close(client);
        }
    }
    int listener_ = -1;
    std::thread thread_;
};

struct DesktopCase {
    const char* label;
    std::optional<std::string> currentDesktop;
    std::string reason;
};

void PrintTo(const DesktopCase& c, std::ostream* out) {
    *out << c.label;
}

class UnsupportedCompositor : public testing::TestWithParam<DesktopCase> {};

TEST_P(UnsupportedCompositor, NoWindowAndOneMessage) {
    const Scratch runtime;
    const BareCompositor compositor(runtime.path() / "wayland-0");
    const Result result = run(samplerPath, {},
                              {{"XDG_RUNTIME_DIR", runtime.path().string()},
                               {"WAYLAND_DISPLAY", "wayland-0"},
                               {"SWAYSOCK", std::nullopt},
                               {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
                               {"DISPLAY", sway->x11Display},
                               {"XDG_CURRENT_DESKTOP", GetParam().currentDesktop}});
    EXPECT_EQ(result.out, noWindowLine);
    EXPECT_EQ(result.err, "activity-sampler: " + GetParam().reason + "; no window is named\n");
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Wayland, UnsupportedCompositor,
    testing::Values(
        DesktopCase{"GNOME", "GNOME",
                    "GNOME Shell's extension answers on the session bus, and none was found "
                    "(DBUS_SESSION_BUS_ADDRESS)"},
        DesktopCase{"KDE", "KDE",
                    "KWin on Wayland tells the active window only to its own scripts, and its "
                    "scripting interface (org.kde.KWin on the session bus) ran none for this "
                    "program"},
        DesktopCase{"other", std::nullopt,
                    "the Wayland compositor wayland_desktop offers neither sway's IPC nor "
                    "wlr-foreign-toplevel-management"}),
    [](const testing::TestParamInfo<DesktopCase>& test) { return std::string(test.param.label); });

// A sway IPC socket that takes each connection and its request, sends SAYS (perhaps
// nothing), and then never another byte, holding the connection open.
class SilentSway {
  public:
    SilentSway(const fs::path& socketPath, std::string says)
        : path_(socketPath), says_(std::move(says)) {
        listener_ = listenOn(socketPath);
        thread_ = std::thread([this] { serve(); });
    }
    ~SilentSway() {
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        for (const int client : held_) {
            close(client);
        }
        close(listener_);
        unlink(path_.c_str());
    }
    SilentSway(const SilentSway&) = delete;
    SilentSway& operator=(const SilentSway&) = delete;

  private:
    void serve() {
        for (;;) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                return;
            }
            held_.push_back(client);
            char request[14]; // GET_TREE: the magic, a length of 0 and the type
            [[maybe_unused]] const ssize_t got = recv(client, request, sizeof request, MSG_WAITALL);
            [[maybe_unused]] const ssize_t sent = write(client, says_.data(), says_.size());
        }
    }
    fs::path path_;
    std::string says_;
    int listener_ = -1;
    std::thread thread_;
    std::vector<int> held_;
};

std::string swayHeader(std::uint32_t length, std::uint32_t type) {
    std::string header = "i3-ipc";
    header.append(reinterpret_cast<const char*>(&length), sizeof length);
    header.append(reinterpret_cast<const char*>(&type), sizeof type);
    return header;
}

// A sway socket that accepts and never answers, or stops halfway, holds no run: after
// a bound the run goes on as without it, to the display's own sway, or to the
// no-window line when there is nothing else to ask. Its failure is a run still going
// after a minute, killed.
TEST(SwayIpc, ASocketThatNeverAnswersHoldsNoRun) {
    const Scratch scratch;
    const std::string silentPath = (scratch.path() / "silent.sock").string();
    const Window window(nativeClientPath, "WINWORD.EXE",
                        {"--title=a.docx - Word", "--app-id=word"});
    ASSERT_TRUE(window.ready());
    ASSERT_TRUE(focus(window));
    const std::string word = line("a.docx - Word", "a.docx", "a.docx", window.pid(),
                                  "Microsoft Word", window.copy.string(), 8);
    const Environment alone{{"SWAYSOCK", silentPath},
                            {"XDG_RUNTIME_DIR", scratch.path().string()},
                            {"WAYLAND_DISPLAY", "wayland-0"},
                            {"DISPLAY", std::nullopt}};
    struct Case {
        const char* label;
        std::string says;
        Environment changes;
        std::string line;
    };
    const Case cases[] = {
        {"nothing, on sway's display", "", {{"SWAYSOCK", silentPath}}, word},
        {"half a tree, on sway's display",
         swayHeader(1000, 4) + "{\"id\": 1, ",
         {{"SWAYSOCK", silentPath}},
         word},
        {"nothing, on no display", "", alone, noWindowLine},
    };
    for (const Case& c : cases) {
        const SilentSway silent(silentPath, c.says);
        Environment environment = sway->clientEnvironment();
        for (const auto& [name, value] : c.changes) {
            environment[name] = value;
        }
        const Result result = runWithin(samplerPath, {}, environment, 60'000);
        EXPECT_EQ(result.status, 0) << c.label;
        EXPECT_EQ(result.out, c.line) << c.label;
        EXPECT_EQ(result.err, "") << c.label;
    }
}

// A WAYLAND_DISPLAY that no compositor answers is a session of the X server: here none.
TEST(NoCompositor, TheXServerIsAskedInstead) {
    const Scratch runtime;
    const Result result = run(samplerPath, {},
                              {{"XDG_RUNTIME_DIR", runtime.path().string()},
                               {"WAYLAND_DISPLAY", "wayland-0"},
                               {"SWAYSOCK", std::nullopt},
                               {"DISPLAY", std::nullopt}});
    EXPECT_EQ(result.out, noWindowLine);
    EXPECT_EQ(result.err, "");
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s SAMPLER WAYLAND_CLIENT X11_WINDOW SWAY [gtest options]\n",
                     argv[0]);
        return 2;
    }
    samplerPath = fs::absolute(argv[1]).string();
    nativeClientPath = fs::absolute(argv[2]).string();
    x11ClientPath = fs::absolute(argv[3]).string();
    swayPath = argv[4];
    testing::AddGlobalTestEnvironment(new HeadlessSway);
    return RUN_ALL_TESTS();
}
