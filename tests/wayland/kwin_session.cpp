#include "kwin_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace wayland_test {
namespace {

template <class Test> bool waitFor(Test test, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!test()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void end(pid_t& pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

} // namespace

std::string Kwin::start(const std::string& program, const std::string& dbusDaemon,
                        const std::string& dbusSend) {
    const fs::path folder = runtime.path();
    if (folder.empty()) {
        return "no runtime folder";
    }
    const fs::path log = folder / "kwin.log";
    const int logFile = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    busAddress = "unix:path=" + (folder / "bus").string();
    bus = spawn(dbusDaemon, {"--session", "--nofork", "--address=" + busAddress}, {}, -1, logFile,
                logFile);
    if (bus < 0 || !waitFor([&] { return fs::exists(folder / "bus"); }, std::chrono::seconds(10))) {
        close(logFile);
        return "the session bus did not come up; its log is in " + log.string();
    }
    // Debian's kwin_wayland carries a file capability (CAP_SYS_RESOURCE) that a
    // container's bounding set may lack, and exec then fails: a copy carries none.
    const fs::path copy = folder / "kwin_wayland";
    std::error_code failed;
    fs::copy_file(program, copy, failed);
    if (failed) {
        close(logFile);
        return "could not copy " + program;
    }
    // Its configuration and caches in the runtime folder, not the user's; QPainter
    // rather than OpenGL on a machine without a GPU.
    const Environment environment{{"XDG_RUNTIME_DIR", folder.string()},
                                  {"HOME", folder.string()},
                                  {"XDG_CONFIG_HOME", (folder / "config").string()},
                                  {"XDG_CACHE_HOME", (folder / "cache").string()},
                                  {"XDG_DATA_HOME", (folder / "data").string()},
                                  {"DBUS_SESSION_BUS_ADDRESS", busAddress},
                                  {"KWIN_COMPOSE", "Q"},
                                  {"WAYLAND_DISPLAY", std::nullopt},
                                  {"DISPLAY", std::nullopt}};
    // KWin tells its own children where its displays are.
    const fs::path told = folder / "kwin-environment";
    pid = spawn(copy.string(),
                {"--virtual", "--xwayland", "--socket", waylandDisplay, "--no-lockscreen",
                 "--no-global-shortcuts", "--no-kactivities",
                 "sh -c \"env > " + told.string() + ".part && mv " + told.string() + ".part " +
                     told.string() + "\""},
                environment, -1, logFile, logFile);
    close(logFile);
    const auto kwinOnTheBus = [&] {
        return run(dbusSend,
                   {"--session", "--print-reply", "--dest=org.freedesktop.DBus",
                    "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                    "string:org.kde.KWin"},
                   {{"DBUS_SESSION_BUS_ADDRESS", busAddress}})
                   .out.find("boolean true") != std::string::npos;
    };
    if (pid < 0 ||
        !waitFor([&] { return fs::exists(folder / waylandDisplay); }, std::chrono::seconds(60)) ||
        !waitFor(kwinOnTheBus, std::chrono::seconds(30))) {
        return "KWin did not come up; its log is in " + log.string();
    }
    if (!waitFor([&] { return fs::exists(told); }, std::chrono::seconds(30))) {
        return "KWin did not start XWayland; its log is in " + log.string();
    }
    std::ifstream lines(told);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("DISPLAY=")) {
            x11Display = line.substr(8);
        }
    }
    return x11Display.empty() ? "KWin named no X display" : "";
}

void Kwin::stop() {
    end(pid);
    end(bus);
}

Environment Kwin::clientEnvironment() const {
    return {{"XDG_RUNTIME_DIR", runtime.path().string()},
            {"WAYLAND_DISPLAY", waylandDisplay},
            {"DBUS_SESSION_BUS_ADDRESS", busAddress},
            {"DISPLAY", x11Display},
            {"SWAYSOCK", std::nullopt},
            {"XDG_CURRENT_DESKTOP", "KDE"}};
}

} // namespace wayland_test
