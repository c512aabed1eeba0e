// A headless GNOME Shell for the tests: a session bus and a system bus of its own, a
// stand-in GDM (for the lock screen), a fresh home and runtime folder, and XWayland.
#pragma once

#include "../wayland/sway_session.h"

#include <sys/types.h>

#include <string>

namespace gnome_test {

using namespace wayland_test;

// A program held running until stop(): it prints "ready" once it serves.
class Daemon {
  public:
    Daemon() = default;
    ~Daemon() { stop(); }
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;
    // True once it said "ready" within the bound.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const Environment& changes);
    void stop();

  private:
    pid_t pid_ = -1;
};

struct Programs {
    std::string gnomeShell;
    std::string dbusDaemon;
    std::string gsettings;
    std::string gdbus;
    std::string standIn;         // bus-stand-in
    std::string helperExtension; // the folder of the test-only extension
};

struct GnomeShell {
    Scratch scratch;
    fs::path runtime; // XDG_RUNTIME_DIR
    fs::path home;
    pid_t sessionBus = -1;
    pid_t systemBus = -1;
    Daemon gdm;
    pid_t pid = -1;
    std::string x11Display;
    std::string xauthority;

    // The buses, GDM's stand-in and the home with the test-only extension enabled; an
    // empty string when they came up, else what went wrong.
    std::string prepare(const Programs& programs);
    // The shell itself, up with the overview left; an empty string, or what went wrong.
    std::string startShell(const Programs& programs);
    void stopShell();
    void stop();
    // The environment of a client of this shell, and of the sampler and collector.
    Environment environment() const;
    // A gsettings command on this session's settings.
    Result gsettings(const Programs& programs, const std::vector<std::string>& arguments) const;
};

} // namespace gnome_test
