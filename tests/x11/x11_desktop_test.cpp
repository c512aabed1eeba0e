// The whole program on a virtual X server: a test window owned by a copy of the test
// client, named as a known application, and the line the program prints for it.
//
//   x11_desktop_test SAMPLER TEST_WINDOW XVFB [gtest options]
#include "child_io.h"
#include "expected_line.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using test_support::pointers;
using test_support::readAll;
using test_support::readLine;

namespace fs = std::filesystem;

std::string samplerPath;
std::string testWindowPath;
std::string xvfbPath;
std::string displayName;
// A server without the X-Resource extension: the owner only as the client states it.
std::string noResourceDisplayName;

// A pipe whose ends close themselves.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void closeRead() {
        if (read >= 0) {
            close(read);
            read = -1;
        }
    }
    void closeWrite() {
        if (write >= 0) {
            close(write);
            write = -1;
        }
    }
};

// The environment of this process with DISPLAY set to display, or unset when none.
std::vector<std::string> environmentWith(const std::optional<std::string>& display) {
    return test_support::environmentWith({{"DISPLAY", display}});
}

// Starts program with its standard input and output on pipes; -1 on failure.
pid_t spawn(const std::string& program, std::vector<std::string> arguments,
            std::vector<std::string> environment, int input, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) {
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    }
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    }
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// One run of the program: what it printed, or a note on how it ended otherwise.
std::string runSampler(const std::optional<std::string>& display) {
    Pipe output;
    const pid_t pid = spawn(samplerPath, {}, environmentWith(display), -1, output.write);
    if (pid < 0) {
        return "could not start the sampler";
    }
    output.closeWrite();
    std::string text = readAll(output.read);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "sampler ended with status " + std::to_string(status) + " after: " + text;
    }
    return text;
}

// A test window held by a running client; closing its input ends it.
class TestWindow {
  public:
    TestWindow(const fs::path& program, const std::vector<std::string>& arguments,
               const std::string& display = displayName) {
        pid_ = spawn(program, arguments, environmentWith(display), input_.read, output_.write);
        input_.closeRead();
        output_.closeWrite();
        if (pid_ > 0) {
            ready_ = readLine(output_.read, 10000) == "ready\n";
        }
    }
    // One that never came up may never read its input: it is killed.
    ~TestWindow() {
        if (!ready_ && pid_ > 0) {
            kill(pid_, SIGKILL);
        }
        stop();
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    bool ready() const { return ready_; }
    pid_t pid() const { return pid_; }
    void stop() {
        input_.closeWrite();
        if (pid_ > 0) {
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    Pipe input_;
    Pipe output_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

// Starts Xvfb on a display of its choosing, written to displayFd once it is ready.
// The server ends with this process, however this process ends. It never starts over:
// by default it would each time its last client left, which every case does, and a
// client connecting during that reset may be accepted and never answered (when the
// socket's file was removed meanwhile, the reset makes the listener anew), leaving the
// next window in XOpenDisplay for good. Each window sets what it needs on the root.
pid_t startServer(int displayFd, bool resources) {
    const std::string fd = std::to_string(displayFd);
    std::vector<const char*> argv = {"Xvfb",     "-displayfd", fd.c_str(), "-nolisten", "tcp",
                                     "-noreset", "-screen",    "0",        "320x240x24"};
    if (!resources) {
        argv.insert(argv.end(), {"-extension", "X-Resource"});
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        fcntl(displayFd, F_SETFD, 0);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execv(xvfbPath.c_str(), const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    return pid;
}

// Two virtual X servers for the whole program, one with the X-Resource extension and
// one without.
class VirtualDisplay : public testing::Environment {
  public:
    void SetUp() override {
        start(true, servers_[0], displayName);
        start(false, servers_[1], noResourceDisplayName);
    }
    void TearDown() override {
        for (const pid_t server : servers_) {
            if (server > 0) {
                kill(server, SIGTERM);
                waitpid(server, nullptr, 0);
            }
        }
    }

  private:
    static void start(bool resources, pid_t& server, std::string& name) {
        Pipe display;
        server = startServer(display.write, resources);
        display.closeWrite();
        const std::string number = readLine(display.read, 30000);
        ASSERT_GT(server, 0) << "Xvfb did not start";
        ASSERT_FALSE(number.empty()) << "Xvfb gave no display number";
        name = ":" + number.substr(0, number.find('\n'));
    }

    pid_t servers_[2] = {-1, -1};
};

// A scratch folder for the copies of the client, removed at the end.
class Scratch {
  public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "x11-desktop-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

struct Owner {
    std::string pid; // "self" for the client's own pid
    std::string name;
    std::string path; // "self" for the copy's path
    int category;
};

struct Case {
    const char* label;
    std::string exeRelative; // the copy of the client, under the scratch folder
    std::vector<std::string> arguments;
    std::string title;
    std::string curatedTitle;
    std::string document;
    Owner owner;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.label;
}

const auto line = test_support::expectedLine;

const std::string noWindowLine = line("", "", "", "0", "Unknown", "", 0);

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

const Owner word{"self", "Microsoft Word", "self", 8};
const Owner unknown{"0", "Unknown", "", 0};

// UTF-8 by code unit: U+1F600 as its two surrogates, three bytes each.
const std::string grinningByUnit = "\xED\xA0\xBD\xED\xB8\x80";
const std::string replacementChar = "\xEF\xBF\xBD";

const Case cases[] = {
    {"word document",
     "WINWORD.EXE",
     {"--title=report.docx - Word"},
     "report.docx - Word",
     "report.docx",
     "report.docx",
     word},
    {"database tool",
     "MongoDBCompass.exe",
     {"--title=Connections - orders"},
     "Connections - orders",
     "orders",
     "orders",
     {"self", "MongoDB Compass", "self", 7}},
    {"browser tabs",
     "msedge.exe",
     {"--title=Weather and 2 more pages - Profile 1 - Browser"},
     "Weather and 2 more pages - Profile 1 - Browser",
     "Weather",
     "Weather",
     {"self", "Microsoft Edge", "self", 1}},
    {"private browser window",
     "msedge.exe",
     {"--title=New tab - [InPrivate] - Browser"},
     "New tab - [InPrivate] - Browser",
     "[Private]",
     "",
     {"self", "Microsoft Edge", "self", 1}},
    {"title beyond the BMP",
     "WINWORD.EXE",
     {"--title=R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 - Word"},
     "R\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80 - Word",
     "R\xC3\xA9sum\xC3\xA9 " + grinningByUnit,
     "R\xC3\xA9sum\xC3\xA9 " + grinningByUnit,
     word},
    {"quotes, backslash and tab",
     "WINWORD.EXE",
     {"--title=\"a\\b\"\tc - Word"},
     " a/b \\tc - Word",
     " a/b \\tc",
     " a/b \\tc",
     word},
    {"invalid UTF-8",
     "WINWORD.EXE",
     {"--title=bad\xFF - Word"},
     "bad" + replacementChar + " - Word",
     "bad" + replacementChar,
     "bad" + replacementChar,
     word},
    {"title only in WM_NAME",
     "WINWORD.EXE",
     {"--wm-name=caf\xE9 - Word"},
     "caf\xC3\xA9 - Word",
     "caf\xC3\xA9",
     "caf\xC3\xA9",
     word},
    {"WM_NAME in compound text",
     "WINWORD.EXE",
     {"--compound-text", "--wm-name=\x1B-L\xBF\xE0\xD8\xD2\xD5\xE2 - Word"},
     "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 - Word",
     "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
     "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
     word},
    {"_NET_WM_NAME before WM_NAME",
     "WINWORD.EXE",
     {"--wm-name=old - Word", "--title=new - Word"},
     "new - Word",
     "new",
     "new",
     word},
    {"no title", "WINWORD.EXE", {}, "", "", "", word},
    {"1500 units cut to 1023",
     "WINWORD.EXE",
     {"--title=a - " + repeat("b", 1496)},
     "a - " + repeat("b", 1019),
     "a",
     "a",
     word},
    {"1500 two-byte units cut to 1023",
     "WINWORD.EXE",
     {"--title=" + repeat("\xC3\xA9", 1500)},
     repeat("\xC3\xA9", 1023),
     repeat("\xC3\xA9", 1023),
     repeat("\xC3\xA9", 1023),
     word},
    {"cut inside a surrogate pair",
     "WINWORD.EXE",
     {"--title=" + repeat("x", 1022) + "\xF0\x9F\x98\x80"},
     repeat("x", 1022) + replacementChar,
     repeat("x", 1022) + replacementChar,
     repeat("x", 1022) + replacementChar,
     word},
    // The server knows the window's real owner, whatever _NET_WM_PID says.
    {"no _NET_WM_PID",
     "WINWORD.EXE",
     {"--no-pid", "--title=notes.txt - Word"},
     "notes.txt - Word",
     "notes.txt",
     "notes.txt",
     word},
    {"_NET_WM_PID of no process",
     "WINWORD.EXE",
     {"--pid=4194305", "--title=x - Word"},
     "x - Word",
     "x",
     "x",
     word},
    {"_NET_WM_PID of another process",
     "WINWORD.EXE",
     {"--pid=1", "--title=x - Word"},
     "x - Word",
     "x",
     "x",
     word},
    {"no WM_CLIENT_MACHINE",
     "WINWORD.EXE",
     {"--no-machine", "--title=x - Word"},
     "x - Word",
     "x",
     "x",
     word},
    {"pid of another host",
     "WINWORD.EXE",
     {"--machine=elsewhere.invalid", "--title=notes.txt - Editor"},
     "notes.txt - Editor",
     "notes.txt - Editor",
     "notes.txt - Editor",
     unknown},
    {"unknown application",
     "editor",
     {"--title=notes.txt - Editor"},
     "notes.txt - Editor",
     "notes.txt - Editor",
     "notes.txt - Editor",
     {"self", "editor", "self", 0}},
    {"table names are case-sensitive",
     "winword.exe",
     {"--title=a - Word"},
     "a - Word",
     "a - Word",
     "a - Word",
     {"self", "winword.exe", "self", 0}},
    {"Latin-1 file name",
     "caf\xC3\xA9",
     {"--title=a - b"},
     "a - b",
     "a - b",
     "a - b",
     {"self", "caf\xE9", "self", 0}},
    {"path beyond Latin-1",
     "\xD0\x94\xD0\xBE\xD0\xBA/WINWORD.EXE",
     {"--title=a - Word"},
     "a - Word",
     "a",
     "a",
     {"self", "Microsoft Word", "", 8}},
    {"input focus without _NET_ACTIVE_WINDOW",
     "WINWORD.EXE",
     {"--focus-only", "--title=focus.txt - Word"},
     "focus.txt - Word",
     "focus.txt",
     "focus.txt",
     word},
    {"input focus with _NET_ACTIVE_WINDOW None",
     "WINWORD.EXE",
     {"--active-none", "--title=focus.txt - Word"},
     "focus.txt - Word",
     "focus.txt",
     "focus.txt",
     word},
    {"client in a frame",
     "WINWORD.EXE",
     {"--frame", "--title=framed.txt - Word"},
     "framed.txt - Word",
     "framed.txt",
     "framed.txt",
     word},
    {"input focus on a frame",
     "WINWORD.EXE",
     {"--frame", "--focus-only", "--title=framed.txt - Word"},
     "framed.txt - Word",
     "framed.txt",
     "framed.txt",
     word},
};

// Without X-Resource, the owner is the one the client states, where it runs here.
const Case casesWithoutResources[] = {
    {"_NET_WM_PID", "WINWORD.EXE", {"--title=x - Word"}, "x - Word", "x", "x", word},
    {"no _NET_WM_PID",
     "WINWORD.EXE",
     {"--no-pid", "--title=notes.txt - Editor"},
     "notes.txt - Editor",
     "notes.txt - Editor",
     "notes.txt - Editor",
     unknown},
    {"pid without a process",
     "WINWORD.EXE",
     {"--pid=4194305", "--title=x - Word"},
     "x - Word",
     "x - Word",
     "x - Word",
     {"4194305", "Unknown", "", 0}},
    {"no WM_CLIENT_MACHINE",
     "WINWORD.EXE",
     {"--no-machine", "--title=x - Word"},
     "x - Word",
     "x",
     "x",
     word},
    {"pid of another host",
     "WINWORD.EXE",
     {"--machine=elsewhere.invalid", "--title=notes.txt - Editor"},
     "notes.txt - Editor",
     "notes.txt - Editor",
     "notes.txt - Editor",
     unknown},
    // The frame states pid 1: the client's own is the one reported.
    {"client in a frame",
     "WINWORD.EXE",
     {"--frame", "--title=framed.txt - Word"},
     "framed.txt - Word",
     "framed.txt",
     "framed.txt",
     word},
};

// What the program writes for a path: Latin-1 bytes, one per character.
std::string latin1(const std::string& utf8) {
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead == 0xC2 || lead == 0xC3) {
            bytes.push_back(static_cast<char>(((lead & 0x1F) << 6) |
                                              (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
        } else {
            bytes.push_back(utf8[i]);
        }
    }
    return bytes;
}

// Runs the program on display while a copy of the client shows the case's window.
void expectLine(const Case& c, const std::string& display) {
    const Scratch scratch;
    ASSERT_FALSE(scratch.path().empty());
    const fs::path copy = scratch.path() / fs::u8path(c.exeRelative);
    fs::create_directories(copy.parent_path());
    fs::copy_file(testWindowPath, copy);

    TestWindow window(copy, c.arguments, display);
    ASSERT_TRUE(window.ready()) << "the test window did not come up";
    const std::string pid = c.owner.pid == "self" ? std::to_string(window.pid()) : c.owner.pid;
    const std::string path = c.owner.path == "self" ? latin1(copy.string()) : c.owner.path;
    EXPECT_EQ(runSampler(display),
              line(c.title, c.curatedTitle, c.document, pid, c.owner.name, path, c.owner.category));
}

class ActiveWindow : public testing::TestWithParam<Case> {};

TEST_P(ActiveWindow, LineIsExact) {
    expectLine(GetParam(), displayName);
}

class ActiveWindowWithoutXResource : public testing::TestWithParam<Case> {};

TEST_P(ActiveWindowWithoutXResource, LineIsExact) {
    expectLine(GetParam(), noResourceDisplayName);
}

// A test name from the label: letters and digits kept, anything else an underscore.
std::string caseName(const testing::TestParamInfo<Case>& test) {
    std::string name;
    for (const char* p = test.param.label; *p != '\0'; ++p) {
        name.push_back(std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Desktop, ActiveWindow, testing::ValuesIn(cases), caseName);
INSTANTIATE_TEST_SUITE_P(Desktop, ActiveWindowWithoutXResource,
                         testing::ValuesIn(casesWithoutResources), caseName);

TEST(NoDesktop, WithoutDisplayTheLineHasNoWindow) {
    EXPECT_EQ(runSampler(std::nullopt), noWindowLine);
}

TEST(NoDesktop, UnreachableServerGivesNoWindow) {
    EXPECT_EQ(runSampler("unix:65000"), noWindowLine);
}

// The active window named on the root is gone: the X errors stay inside the query.
TEST(NoDesktop, ActiveWindowThatIsGone) {
    const Scratch scratch;
    const fs::path copy = scratch.path() / "WINWORD.EXE";
    fs::copy_file(testWindowPath, copy);
    TestWindow window(copy, {"--title=gone - Word"});
    ASSERT_TRUE(window.ready());
    window.stop();
    EXPECT_EQ(runSampler(displayName), noWindowLine);
}

// Its executable removed while it runs, as by a package upgrade: still known by its
// name, here one of the Linux programs the table knows, whose title it curates.
TEST(ReplacedExecutable, NameAndPathWithoutTheKernelsMark) {
    const Scratch scratch;
    const fs::path copy = scratch.path() / "firefox";
    fs::copy_file(testWindowPath, copy);
    TestWindow window(copy, {"--title=Start \u2014 Mozilla Firefox"});
    ASSERT_TRUE(window.ready());
    fs::remove(copy);
    EXPECT_EQ(runSampler(displayName),
              line("Start \u2014 Mozilla Firefox", "Start", "Start", std::to_string(window.pid()),
                   "Mozilla Firefox", copy.string(), 1));
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SAMPLER TEST_WINDOW XVFB [gtest options]\n", argv[0]);
        return 2;
    }
    samplerPath = fs::absolute(argv[1]).string();
    testWindowPath = fs::absolute(argv[2]).string();
    xvfbPath = argv[3];
    testing::AddGlobalTestEnvironment(new VirtualDisplay);
    return RUN_ALL_TESTS();
}
