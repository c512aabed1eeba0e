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

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace platform::desktop {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

Fd connectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return Fd();
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd < 0 ||
        connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return Fd();
    }
    return Fd(socket.release());
}

// WAYLAND_DISPLAY is a socket's name in XDG_RUNTIME_DIR, or its absolute path.
std::string waylandSocketPath(const std::string& display) {
    if (display.front() == '/') {
        return display;
    }
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    return runtime.empty() ? "" : runtime + "/" + display;
}

pid_t peerPid(int socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
        return 0;
    }
    return peer.pid;
}

// Sway keeps its IPC socket in the runtime folder as sway-ipc.UID.PID.sock; the pid
// tells the sway of this display from another one of the same user.
std::string swaySocketOf(pid_t compositor) {
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (runtime.empty() || compositor <= 0) {
        return "";
    }
    DIR* folder = opendir(runtime.c_str());
    if (folder == nullptr) {
        return "";
    }
    std::string suffix(1, '.');
    suffix.append(std::to_string(compositor)).append(".sock");
    std::string found;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with("sway-ipc.") && name.ends_with(suffix)) {
            found = runtime + "/" + std::string(name);
            break;
        }
    }
    closedir(folder);
    return found;
}

std::string processName(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/comm";
    const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    char name[64] = {};
    const ssize_t bytes = file.fd >= 0 ? read(file.fd, name, sizeof name - 1) : 0;
    std::string_view text(name, bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
    if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

bool isKwin(const std::string& compositorName) {
    return compositorName == "kwin_wayland" ||
           environment("XDG_CURRENT_DESKTOP").find("KDE") != std::string::npos;
}

// XDG_CURRENT_DESKTOP lists the desktop's names, GNOME's among them on Ubuntu's
// ("ubuntu:GNOME").
bool isGnome(const std::string& compositorName) {
    return compositorName == "gnome-shell" ||
           environment("XDG_CURRENT_DESKTOP").find("GNOME") != std::string::npos;
}

// Why this compositor's window can't be named, for the one message of the run.
std::string unsupportedReason(pid_t compositor) {
    const std::string name = compositor > 0 ? processName(compositor) : "";
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
