// The Linux desktops behind the window calls of platform.h. linux_desktop.cpp picks one
// at run time: a Wayland compositor when WAYLAND_DISPLAY names one that answers
// (linux_desktop_wayland.cpp), else the X server (linux_desktop_x11.cpp, or
// linux_desktop_none.cpp in a build without X11).
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::desktop {

// The focused window as a compositor describes it. Pid 0 when the compositor doesn't
// say; the app id then stands for the executable's name.
struct FocusedWindow {
    std::vector<wchar_t> title; // UTF-16 units, no terminator
    std::uint32_t pid = 0;
    std::string appId;
};

// What the Wayland desktop said: not a Wayland session we can reach (the X server is
// asked instead), or its answer, which may be that no window is focused.
struct WaylandAnswer {
    bool reached = false;
    std::optional<FocusedWindow> window;
};
WaylandAnswer waylandFocusedWindow();

// How long a compositor may take to answer for its focused window. Past it, it is taken
// as one that can't be asked that way: a compositor that accepts and never answers
// must not hold the run.
constexpr std::uint64_t answerLimitMs = 2000;

// The ways to ask a compositor, each false when it can't be asked that way (the
// window is then left alone). Sway's IPC at the socket path; the
// wlr-foreign-toplevel-management global on a connected Wayland socket.
bool swayFocusedWindow(const std::string& socketPath, std::optional<FocusedWindow>& window);
bool foreignToplevelFocusedWindow(int connection, std::optional<FocusedWindow>& window);
// KWin's active window, through a script it runs for this process on the session bus.
bool kwinActiveWindow(std::optional<FocusedWindow>& window);
// GNOME Shell's focused window, from the project's extension on the session bus; when it
// can't answer, false with what is wrong and what mends it in PROBLEM.
bool gnomeFocusedWindow(std::optional<FocusedWindow>& window, std::string& problem);

// The app id of the Wayland window in front when the compositor gave no pid: the
// process is then known by it alone. Null otherwise.
const std::string* appIdStandingForProcess();

// The X server's calls, as platform.h names them.
WindowHandle x11ForegroundWindow();
int x11WindowText(WindowHandle window, wchar_t* buffer, int limit);
std::uint32_t x11WindowProcessId(WindowHandle window, std::uint32_t* pid);

// UTF-8 text as UTF-16 units; bytes that aren't UTF-8 become U+FFFD.
std::vector<wchar_t> widenUtf8(const char* text, std::size_t bytes);

} // namespace platform::desktop
