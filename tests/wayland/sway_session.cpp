#include "sway_session.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace wayland_test {
namespace {

using test_support::environmentWith;
using test_support::pointers;
using test_support::readAll;
using test_support::readLine;

std::string readExactly(int descriptor, std::size_t count) {
    std::string text(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = read(descriptor, text.data() + got, count - got);
        if (n <= 0) {
            return "";
        }
        got += static_cast<std::size_t>(n);
    }
    return text;
}

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

std::string swaySocketIn(const fs::path& folder) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("sway-ipc.") && name.ends_with(".sock")) {
            return entry.path().string();
        }
    }
    return "";
}

// One message of sway's IPC and its answer.
std::string ipc(const std::string& socketPath, std::uint32_t type, const std::string& payload) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(socket);
        return "";
    }
    std::string message = "i3-ipc";
    const auto length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&type), 4);
    message += payload;
    std::string answer;
    if (write(socket, message.data(), message.size()) == static_cast<ssize_t>(message.size())) {
        // Sway keeps the connection open: the answer is as long as its header says.
        answer = readExactly(socket, 14);
        std::uint32_t size = 0;
        if (answer.size() == 14) {
            std::memcpy(&size, answer.data() + 6, 4);
            answer = readExactly(socket, size);
        }
    }
    close(socket);
    return answer;
}

bool writeFile(const char* path, const std::string& text) {
    const int file = open(path, O_WRONLY | O_CLOEXEC);
    const bool written =
        file >= 0 && write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (file >= 0) {
        close(file);
    }
    return written;
}

bool becomeOrdinaryUser() {
    constexpr const char* ordinary = "1000";
    return unshare(CLONE_NEWUSER) == 0 &&
           writeFile("/proc/self/uid_map", std::string(ordinary) + " 0 1\n") &&
           writeFile("/proc/self/setgroups", "deny") &&
           writeFile("/proc/self/gid_map", std::string(ordinary) + " 0 1\n");
}

} // namespace

pid_t spawn(const std::string& program, std::vector<std::string> arguments,
            const Environment& changes, int input, int output, int error) {
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv = pointers(arguments);
    std::vector<std::string> environment = environmentWith(changes);
    std::vector<char*> envp = pointers(environment);
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int streams[] = {input, output, error};
        for (int i = 0; i < 3; ++i) {
            if (streams[i] >= 0) {
                dup2(streams[i], i);
            }
        }
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

Result run(const std::string& program, const std::vector<std::string>& arguments,
           const Environment& changes) {
    // Ten minutes: longer than ctest lets any test run.
    return runWithin(program, arguments, changes, 600'000);
}

int listenOn(const fs::path& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener >= 0 &&
        (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
         listen(listener, 4) != 0)) {
        close(listener);
        return -1;
    }
    return listener;
}

Result runWithin(const std::string& program, const std::vector<std::string>& arguments,
                 const Environment& changes, int limitMs) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return {};
    }
    const pid_t pid = spawn(program, arguments, changes, -1, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    Result result;
    pollfd streams[] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[] = {&result.out, &result.err};
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    bool ended = false;
    while (streams[0].fd >= 0 || streams[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || poll(streams, 2, static_cast<int>(left)) <= 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd < 0 || streams[i].revents == 0) {
                continue;
            }
            char chunk[4096];
            const ssize_t count = read(streams[i].fd, chunk, sizeof chunk);
            if (count > 0) {
                texts[i]->append(chunk, static_cast<std::size_t>(count));
            } else {
                streams[i].fd = -1; // its end: poll leaves it alone from now on
            }
        }
        ended = streams[0].fd < 0 && streams[1].fd < 0;
    }
    if (!ended && pid > 0) {
        kill(pid, SIGKILL);
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    return result;
}

Scratch::Scratch() {
    std::string pattern = (fs::temp_directory_path() / "wayland-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

Scratch::~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

Client::Client(const fs::path& program, const std::vector<std::string>& arguments,
               const Environment& changes) {
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = spawn(program.string(), arguments, changes, input[0], output[1], -1);
    close(input[0]);
    close(output[1]);
    input_ = input[1];
    if (pid_ > 0) {
        ready_ = readLine(output[0], 20000) == "ready\n";
    }
    close(output[0]);
}

Client::~Client() {
    stop();
}

void Client::stop() {
    if (input_ >= 0) {
        close(input_);
        input_ = -1;
    }
    if (pid_ > 0) {
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

std::string Sway::start(const std::string& program) {
    if (runtime.path().empty()) {
        return "no runtime folder";
    }
    const fs::path config = runtime.path() / "config";
    std::ofstream(config) << "xwayland enable\n";
    const fs::path log = runtime.path() / "sway.log";
    const int logFile = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const Environment environment{{"XDG_RUNTIME_DIR", runtime.path().string()},
                                  {"WLR_BACKENDS", "headless"},
                                  {"WLR_LIBINPUT_NO_DEVICES", "1"},
                                  {"WLR_RENDERER", "pixman"},
                                  {"WAYLAND_DISPLAY", std::nullopt},
                                  {"DISPLAY", std::nullopt},
                                  {"SWAYSOCK", std::nullopt}};
    std::vector<std::string> arguments = {"-c", config.string()};
    std::vector<std::string> environmentEntries = environmentWith(environment);
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environmentEntries);
    const std::string runtimeFolder = runtime.path().string();
    pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Sway refuses to run as root, which it can't leave for good: in a user
        // namespace of its own, root is an ordinary user to it (and to XWayland,
        // which takes its own ids again for the keymap compiler).
        if (geteuid() == 0 && !becomeOrdinaryUser()) {
            _exit(126);
        }
        // Anything it leaves behind (XWayland dumps its core on a fatal error) goes
        // with the folder.
        if (chdir(runtimeFolder.c_str()) != 0) {
            _exit(126);
        }
        dup2(logFile, STDOUT_FILENO);
        dup2(logFile, STDERR_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(logFile);
    if (pid < 0) {
        return "could not start sway";
    }
    if (!waitFor([&] { return !(swaySocket = swaySocketIn(runtime.path())).empty(); },
                 std::chrono::seconds(30))) {
        return "sway did not come up; its log is in " + log.string();
    }
    // Sway tells its own children where its displays are.
    const fs::path told = runtime.path() / "sway-environment";
    if (!command("exec env > " + told.string() + ".part && mv " + told.string() + ".part " +
                 told.string()) ||
        !waitFor([&] { return fs::exists(told); }, std::chrono::seconds(30))) {
        return "sway did not run a command";
    }
    std::ifstream lines(told);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("WAYLAND_DISPLAY=")) {
            waylandDisplay = line.substr(16);
        } else if (line.starts_with("DISPLAY=")) {
            x11Display = line.substr(8);
        }
    }
    return waylandDisplay.empty() || x11Display.empty() ? "sway named no displays" : "";
}

void Sway::stop() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

bool Sway::command(const std::string& text) const {
    const std::string answer = ipc(swaySocket, 0, text);
    return answer.find("true") != std::string::npos && answer.find("false") == std::string::npos;
}

Environment Sway::clientEnvironment() const {
    return {{"XDG_RUNTIME_DIR", runtime.path().string()},
            {"WAYLAND_DISPLAY", waylandDisplay},
            {"DISPLAY", x11Display},
            {"SWAYSOCK", swaySocket},
            {"XDG_CURRENT_DESKTOP", "sway"}};
}

} // namespace wayland_test
