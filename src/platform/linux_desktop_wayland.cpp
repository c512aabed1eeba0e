// The Wayland compositor that WAYLAND_DISPLAY names, and the way to learn its focused
// window. Wayland itself shows a client only its own windows: the window in front is
// known through the compositor's own interfaces. Sway's IPC names the window and its
// pid; wlroots' foreign-toplevel manager the title and app id; KWin a script of its own
// (linux_desktop_kwin.cpp); GNOME Shell the project's extension (linux_desktop_gnome.cpp).
// Any other compositor is named on standard error, with the
// reason, and the line names no window: a guessed window (an XWayland one left behind)
// would be a wrong record.
#include "platform/fd_linux.h"
#include "platform/linux_desktop.h"
#include "platform/wayland_compositor_linux.h"

#include <string>

namespace platform::desktop {
namespace {

using wayland::connectTo;
using wayland::environment;
using wayland::isGnome;
using wayland::isKwin;
using wayland::peerPid;
using wayland::processName;
using wayland::swaySocketOf;
using wayland::waylandSocketPath;

// Why this compositor's window can't be named, for the one message of the run.
std::string unsupportedReason(pid_t compositor) {
    const std::string name = processName(compositor);
    if (isKwin(name)) {
        return "KWin on Wayland tells the active window only to its own scripts, and its "
               "scripting interface (org.kde.KWin on the session bus) ran none for this program";
    }
    std::string reason = "the Wayland compositor ";
    reason.append(name.empty() ? "here" : name);
    reason.append(" offers neither sway's IPC nor wlr-foreign-toplevel-management");
    return reason;
}

void sayNoWindow(const std::string& reason) {
    const std::string message = "activity-sampler: " + reason + "; no window is named\n";
    writeStandardError(message.data(), message.size());
    flushStandardError();
}

} // namespace

WaylandAnswer waylandFocusedWindow() {
    WaylandAnswer answer;
    const std::string display = environment("WAYLAND_DISPLAY");
    if (display.empty()) {
        return answer;
    }
    // SWAYSOCK is sway's own word for where it listens, as its tools take it.
    const std::string swaySocket = environment("SWAYSOCK");
    if (!swaySocket.empty() && swayFocusedWindow(swaySocket, answer.window)) {
        answer.reached = true;
        return answer;
    }
    const Fd connection = connectTo(waylandSocketPath(display));
    if (connection.fd < 0) {
        return answer;
    }
    answer.reached = true;
    const pid_t compositor = peerPid(connection.fd);
    const std::string found = swaySocketOf(compositor);
    if (!found.empty() && found != swaySocket && swayFocusedWindow(found, answer.window)) {
        return answer;
    }
    const std::string compositorName = processName(compositor);
    if (isKwin(compositorName) && kwinActiveWindow(answer.window)) {
        return answer;
    }
    if (isGnome(compositorName)) {
        // Only the extension can tell: the message names what keeps it from answering.
        std::string problem;
        if (!gnomeFocusedWindow(answer.window, problem)) {
            answer.window.reset();
            sayNoWindow(problem);
        }
        return answer;
    }
    if (foreignToplevelFocusedWindow(connection.fd, answer.window)) {
        return answer;
    }
    answer.window.reset();
    sayNoWindow(unsupportedReason(compositor));
    return answer;
}

} // namespace platform::desktop
