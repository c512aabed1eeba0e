#include "gnome_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace gnome_test {
namespace {

template <class Test> bool waitFor(Test test, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!test()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
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

// The variables of the machine's own desktop and folders, which none of the test's
// programs may see.
Environment cleared() {
    Environment environment;
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY", "XAUTHORITY", "SWAYSOCK",
                             "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "GSETTINGS_BACKEND"}) {
        environment[name] = std::nullopt;
    }
    return environment;
}

constexpr const char* helperUuid = "leave-overview@activity-sampler-tests";

} // namespace

bool Daemon::start(const std::string& program, const std::vector<std::string>& arguments,
                   const Environment& changes) {
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        return false;
    }
    pid_ = spawn(program, arguments, changes, -1, output[1], -1);
    close(output[1]);
    const bool ready = pid_ > 0 && test_support::readLine(output[0], 20000) == "ready\n";
    close(output[0]);
    return ready;
}

void Daemon::stop() {
    end(pid_);
}

std::string GnomeShell::prepare(const Programs& programs) {
    if (scratch.path().empty()) {
        return "no scratch folder";
    }
    runtime = scratch.path() / "runtime";
    home = scratch.path() / "home";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    fs::create_directories(home);
    const fs::path log = scratch.path() / "buses.log";
    const int logFile = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    // The session bus starts dconf's service for gsettings: in this home.
    Environment busEnvironment = cleared();
    busEnvironment["HOME"] = home.string();
    busEnvironment["XDG_RUNTIME_DIR"] = runtime.string();
    sessionBus =
        spawn(programs.dbusDaemon,
              {"--session", "--nofork", "--address=unix:path=" + (runtime / "bus").string()},
              busEnvironment, -1, logFile, logFile);
    systemBus =
        spawn(programs.dbusDaemon,
              {"--session", "--nofork", "--address=unix:path=" + (runtime / "system_bus").string()},
              busEnvironment, -1, logFile, logFile);
    close(logFile);
    if (sessionBus < 0 || systemBus < 0 ||
        !waitFor([&] { return fs::exists(runtime / "bus") && fs::exists(runtime / "system_bus"); },
                 std::chrono::seconds(10))) {
        return "the buses did not come up; their log is in " + log.string();
    }
    if (!gdm.start(programs.standIn, {"gdm"}, environment())) {
        return "GDM's stand-in did not come up";
    }
    // The test-only extension, enabled, and no welcome dialog to take the focus.
    const fs::path helper = home / ".local/share/gnome-shell/extensions" / helperUuid;
    fs::create_directories(helper);
    for (const char* file : {"extension.js", "metadata.json"}) {
        fs::copy_file(fs::path(programs.helperExtension) / file, helper / file);
    }
    if (gsettings(programs, {"set", "org.gnome.shell", "enabled-extensions",
                             std::string("['") + helperUuid + "']"})
                .status != 0 ||
        gsettings(programs, {"set", "org.gnome.shell", "welcome-dialog-last-shown-version", "999"})
                .status != 0) {
        return "gsettings could not set up the home";
    }
    return "";
}

std::string GnomeShell::startShell(const Programs& programs) {
    const fs::path ready = scratch.path() / "shell-ready";
    fs::remove(ready);
    const fs::path log = scratch.path() / "shell.log";
    const int logFile = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    Environment shellEnvironment = environment();
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY", "XAUTHORITY"}) {
        shellEnvironment[name] = std::nullopt;
    }
    shellEnvironment["GNOME_TEST_READY_FILE"] = ready.string();
    pid = spawn(programs.gnomeShell, {"--headless", "--wayland", "--virtual-monitor", "1280x800"},
                shellEnvironment, -1, logFile, logFile);
    close(logFile);
    if (pid < 0 || !waitFor([&] { return fs::exists(ready); }, std::chrono::seconds(90))) {
        return "GNOME Shell did not come up; its log is in " + log.string();
    }
    std::ifstream lines(ready);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("DISPLAY=")) {
            x11Display = line.substr(8);
        } else if (line.starts_with("XAUTHORITY=")) {
            xauthority = line.substr(11);
        }
    }
    return x11Display.empty() ? "GNOME Shell named no X display" : "";
}

void GnomeShell::stopShell() {
    end(pid);
}

void GnomeShell::stop() {
    stopShell();
    gdm.stop();
    end(systemBus);
    end(sessionBus);
}

Environment GnomeShell::environment() const {
    Environment environment = cleared();
    environment["HOME"] = home.string();
    environment["XDG_RUNTIME_DIR"] = runtime.string();
    environment["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (runtime / "bus").string();
    environment["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + (runtime / "system_bus").string();
    environment["WAYLAND_DISPLAY"] = "wayland-0";
    environment["DISPLAY"] = x11Display;
    environment["XAUTHORITY"] = xauthority;
    environment["XDG_CURRENT_DESKTOP"] = "GNOME";
    return environment;
}

Result GnomeShell::gsettings(const Programs& programs,
                             const std::vector<std::string>& arguments) const {
    return runWithin(programs.gsettings, arguments, environment(), 30000);
}

} // namespace gnome_test
