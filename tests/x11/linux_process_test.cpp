// The Linux provider's processes: /proc opened and released, and the executable path
// copied only when it fits, as the Windows calls do; a process whose executable can't
// be read can't be opened, and a replaced executable is named by its path.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

extern char** environ;

namespace {

constexpr std::uint32_t queryAccess = platform::processQueryInformation | platform::processVmRead;

int descriptorOf(const platform::ProcessHandle& process) {
    return static_cast<int>(process.get() - 1);
}

TEST(LinuxProcess, OpenHoldsTheProcessUntilReleased) {
    platform::ProcessHandle process = platform::openProcess(queryAccess, false, getpid());
    ASSERT_TRUE(process);
    const int descriptor = descriptorOf(process);
    EXPECT_EQ(fcntl(descriptor, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    process.reset();
    EXPECT_EQ(fcntl(descriptor, F_GETFD), -1);
}

TEST(LinuxProcess, InheritableWhenAskedFor) {
    const platform::ProcessHandle process = platform::openProcess(queryAccess, true, getpid());
    ASSERT_TRUE(process);
    EXPECT_EQ(fcntl(descriptorOf(process), F_GETFD) & FD_CLOEXEC, 0);
}

TEST(LinuxProcess, NoProcessNoHandle) {
    EXPECT_FALSE(platform::openProcess(queryAccess, false, 0));
    // Beyond the largest pid the kernel ever gives.
    EXPECT_FALSE(platform::openProcess(queryAccess, false, 4194305));
}

// The path fits only with its terminator; otherwise nothing is copied.
TEST(LinuxProcess, ExecutablePathOnlyWhenItFits) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto length = static_cast<std::uint32_t>(self.size());
    const platform::ProcessHandle process = platform::openProcess(queryAccess, false, getpid());
    ASSERT_TRUE(process);
    struct Size {
        std::uint32_t units;
        std::uint32_t expected;
    };
    for (const Size size : {Size{length + 1, length}, Size{length + 40, length}, Size{length, 0},
                            Size{2, 0}, Size{1, 0}, Size{0, 0}}) {
        for (auto read : {platform::getProcessImageFileNameW, platform::getModuleFileNameExW}) {
            std::wstring buffer(length + 64, L'#');
            EXPECT_EQ(read(process, buffer.data(), size.units), size.expected)
                << "size " << size.units;
            if (size.expected != 0) {
                EXPECT_EQ(buffer.substr(0, length + 1),
                          std::wstring(self.begin(), self.end()) + L'\0');
            }
            EXPECT_EQ(buffer[size.units < 1 ? 0 : size.units], L'#') << "size " << size.units;
        }
    }
}

// A process that has exited but not been reaped has no executable any more.
TEST(LinuxProcess, ZombieCannotBeOpened) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    ASSERT_GT(child, 0);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(platform::openProcess(queryAccess, false, static_cast<std::uint32_t>(child)));
    waitpid(child, nullptr, 0);
}

// A copy of sleep under a scratch folder, running until the test ends.
class RunningCopy {
  public:
    explicit RunningCopy(const std::string& name) {
        std::string pattern = (std::filesystem::temp_directory_path() / "process-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        folder_ = pattern;
        path_ = folder_ / name;
        std::filesystem::copy_file("/bin/sleep", path_);
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
        std::string program = path_.string();
        std::string seconds = "60";
        char* argv[] = {program.data(), seconds.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
    }
    ~RunningCopy() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    pid_t pid() const { return pid_; }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
    pid_t pid_ = -1;
};

std::wstring modulePath(pid_t pid) {
    const platform::ProcessHandle process =
        platform::openProcess(queryAccess, false, static_cast<std::uint32_t>(pid));
    wchar_t buffer[1024] = L"";
    const std::uint32_t units = platform::getModuleFileNameExW(process, buffer, 1024);
    return std::wstring(buffer, units);
}

std::wstring wide(const std::filesystem::path& path) {
    const std::string narrow = path.string();
    return std::wstring(narrow.begin(), narrow.end());
}

// Removed or replaced while it runs, the executable is still named by its path; a file
// really named with the kernel's mark keeps its name.
TEST(LinuxProcess, ReplacedExecutableKeepsItsPath) {
    const RunningCopy removed("firefox");
    ASSERT_GT(removed.pid(), 0);
    std::filesystem::remove(removed.path());
    EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(removed.pid()) + "/exe"),
              removed.path().string() + " (deleted)");
    EXPECT_EQ(modulePath(removed.pid()), wide(removed.path()));

    const RunningCopy replaced("firefox");
    ASSERT_GT(replaced.pid(), 0);
    const std::filesystem::path update = replaced.path().string() + ".new";
    std::filesystem::copy_file("/bin/sleep", update);
    std::filesystem::rename(update, replaced.path());
    EXPECT_EQ(modulePath(replaced.pid()), wide(replaced.path()));

    const RunningCopy named("sleep (deleted)");
    ASSERT_GT(named.pid(), 0);
    EXPECT_EQ(modulePath(named.pid()), wide(named.path()));
}

std::wstring imagePath(pid_t pid) {
    const platform::ProcessHandle process =
        platform::openProcess(queryAccess, false, static_cast<std::uint32_t>(pid));
    wchar_t buffer[1024] = L"";
    const std::uint32_t units = platform::getProcessImageFileNameW(process, buffer, 1024);
    return std::wstring(buffer, units);
}

// The first child the kernel lists for PID, and its executable; 0 while it has none.
std::pair<pid_t, std::filesystem::path> firstChildOf(pid_t pid) {
    const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
    std::ifstream children(task + "/children");
    pid_t child = 0;
    if (pid <= 0 || !(children >> child)) {
        return {0, {}};
    }
    std::error_code error;
    return {child, std::filesystem::read_symlink("/proc/" + std::to_string(child) + "/exe", error)};
}

// Flatpak's bubblewrap owns no window itself: a window said to be its is named by the
// program it runs, through a second bwrap as the sandbox's init. Here a shell called
// bwrap runs a shell called bwrap that runs sleep; a bwrap with no child stays itself.
TEST(LinuxProcess, SandboxNamedByTheProgramItRuns) {
    std::string folder = (std::filesystem::temp_directory_path() / "sandbox-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    std::string bwrap = (std::filesystem::path(folder) / "bwrap").string();
    std::filesystem::copy_file("/bin/sh", bwrap);
    std::string option = "-c";
    std::string inner = bwrap + " -c 'sleep 60; true'; true";
    char* argv[] = {bwrap.data(), option.data(), inner.data(), nullptr};
    pid_t outer = -1;
    ASSERT_EQ(posix_spawn(&outer, bwrap.c_str(), nullptr, nullptr, argv, environ), 0);
    // Until the sandbox's program runs.
    std::filesystem::path program;
    for (int tries = 0; tries < 500 && program.filename() != "sleep"; ++tries) {
        usleep(10'000);
        program = firstChildOf(firstChildOf(outer).first).second;
    }
    EXPECT_EQ(program.filename(), "sleep");
    EXPECT_EQ(modulePath(outer), wide(program));
    EXPECT_EQ(imagePath(outer), wide(program));
    const pid_t innerShell = firstChildOf(outer).first;
    const pid_t sleeper = firstChildOf(innerShell).first;
    for (const pid_t pid : {sleeper, innerShell, outer}) {
        if (pid > 0) {
            kill(pid, SIGKILL);
        }
    }
    waitpid(outer, nullptr, 0);

    const RunningCopy alone("bwrap");
    ASSERT_GT(alone.pid(), 0);
    EXPECT_EQ(modulePath(alone.pid()), wide(alone.path()));
    std::filesystem::remove_all(folder);
}

TEST(LinuxProcess, ExecutablePathOfNoProcessIsEmpty) {
    wchar_t buffer[16] = L"untouched";
    EXPECT_EQ(platform::getModuleFileNameExW(platform::ProcessHandle(), buffer, 16), 0u);
}

} // namespace
