// A headless sway for the tests, with XWayland, in a runtime folder of its own, and
// the processes the tests start on it.
#pragma once

#include "child_io.h"

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wayland_test {

namespace fs = std::filesystem;

using test_support::Environment;

struct Result {
    std::string out;
    std::string err;
    int status = -1; // the exit status, or -1 when it didn't exit
};

// Starts program with the given descriptors as its standard streams (-1: this one's),
// ended if this process ends.
pid_t spawn(const std::string& program, std::vector<std::string> arguments,
            const Environment& changes, int input, int output, int error);

// Runs program to its end with this process's environment changed by changes.
Result run(const std::string& program, const std::vector<std::string>& arguments,
           const Environment& changes);

// As run, but a program still running after limitMs is killed (its status then -1),
// with what it printed so far: a test of something that must end fails, not hangs.
Result runWithin(const std::string& program, const std::vector<std::string>& arguments,
                 const Environment& changes, int limitMs);

// A Unix socket listening at socketPath, for a stand-in compositor; -1 if it can't be.
int listenOn(const fs::path& socketPath);

// A scratch folder, removed at the end.
class Scratch {
  public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// A client held running: it prints "ready" when its window is up; closing its input
// ends it.
class Client {
  public:
    Client(const fs::path& program, const std::vector<std::string>& arguments,
           const Environment& changes);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    bool ready() const { return ready_; }
    pid_t pid() const { return pid_; }
    void stop();

  private:
    int input_ = -1;
    pid_t pid_ = -1;
    bool ready_ = false;
};

// The running sway: started by start(), ended with this process.
struct Sway {
    Scratch runtime;
    pid_t pid = -1;
    std::string waylandDisplay; // the socket's name in the runtime folder
    std::string swaySocket;
    std::string x11Display;

    // An empty string when it came up, else what went wrong.
    std::string start(const std::string& program);
    void stop();
    // A sway command through its IPC, as swaymsg sends it; true when sway did it.
    bool command(const std::string& text) const;
    // The environment of a client of this sway, native or XWayland.
    Environment clientEnvironment() const;
};

} // namespace wayland_test
