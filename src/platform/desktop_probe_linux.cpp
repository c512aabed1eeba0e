// The sampler's choice, as linux_desktop.cpp makes it: a Wayland compositor when
// WAYLAND_DISPLAY names one that answers (sway through its IPC socket, KWin and GNOME Shell
// by their process or XDG_CURRENT_DESKTOP, else the compositor by its process's name), else the
// X server that DISPLAY names. Idle time as input_idle_linux.cpp finds it.
#include "platform/desktop_probe.h"
#include "platform/fd_linux.h"
#include "platform/gnome_session_linux.h"
#include "platform/input_idle_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace platform {
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
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 ? peer.pid : 0;
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

// Sway's IPC socket of the compositor COMPOSITOR in the runtime folder.
bool hasSwaySocket(pid_t compositor) {
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (runtime.empty() || compositor <= 0) {
        return false;
    }
    DIR* folder = opendir(runtime.c_str());
    if (folder == nullptr) {
        return false;
    }
    std::string suffix(1, '.');
    suffix.append(std::to_string(compositor)).append(".sock");
    bool found = false;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        found = found || (name.starts_with("sway-ipc.") && name.ends_with(suffix));
    }
    closedir(folder);
    return found;
}

// The compositor on WAYLAND_DISPLAY, or empty when none answers there.
std::string waylandDesktop(const std::string& display) {
    const std::string where = " (WAYLAND_DISPLAY=" + display + ")";
    const std::string swaySocket = environment("SWAYSOCK");
    if (!swaySocket.empty() && connectTo(swaySocket).fd >= 0) {
        return "sway" + where;
    }
    const Fd connection = connectTo(waylandSocketPath(display));
    if (connection.fd < 0) {
        return "";
    }
    const pid_t compositor = peerPid(connection.fd);
    const std::string name = compositor > 0 ? processName(compositor) : "";
    if (hasSwaySocket(compositor)) {
        return "sway" + where;
    }
    if (name == "kwin_wayland" ||
        environment("XDG_CURRENT_DESKTOP").find("KDE") != std::string::npos) {
        return "KWin" + where;
    }
    if (name == "gnome-shell" ||
        environment("XDG_CURRENT_DESKTOP").find("GNOME") != std::string::npos) {
        return "GNOME Shell" + where;
    }
    return "the Wayland compositor " + (name.empty() ? std::string("there") : name) + where;
}

std::string idleSource(bool wayland, const std::string& x11) {
    if (wayland) {
        const idle::WaylandIdle answer = idle::fromWayland();
        if (answer.reached) {
            if (answer.protocol != nullptr) {
                return std::string("the compositor (") + answer.protocol + ")";
            }
            return gnome::mutterIdleMilliseconds()
                       ? "GNOME Shell (org.gnome.Mutter.IdleMonitor)"
                       : "unknown: the compositor offers no idle protocol";
        }
    }
    if (!x11.empty() && idle::fromX11()) {
        return "the X server (DISPLAY=" + x11 + ")";
    }
    return "unknown: no display answers";
}

} // namespace

DesktopProbe probeDesktop() {
    DesktopProbe probe;
    const std::string wayland = environment("WAYLAND_DISPLAY");
    const std::string x11 = environment("DISPLAY");
    if (!wayland.empty()) {
        probe.desktop = waylandDesktop(wayland);
    }
    const bool onWayland = !probe.desktop.empty();
    if (!onWayland && !x11.empty()) {
        // The idle counter's question is the X server's answer: a server that gives it
        // is one the sampler reaches too.
        if (idle::fromX11()) {
            probe.desktop = "X11 (DISPLAY=" + x11 + ")";
        } else {
            probe.idleSource = "unknown: no display answers";
            probe.desktop = "nothing answers on " +
                            (wayland.empty() ? "" : "WAYLAND_DISPLAY=" + wayland + " nor on ") +
                            "DISPLAY=" + x11;
            return probe;
        }
    }
    if (probe.desktop.empty()) {
        probe.desktop = wayland.empty() ? "neither WAYLAND_DISPLAY nor DISPLAY is set"
                                        : "nothing answers on WAYLAND_DISPLAY=" + wayland +
                                              ", and DISPLAY is not set";
        probe.idleSource = "unknown: no display answers";
        return probe;
    }
    probe.found = true;
    probe.idleSource = idleSource(onWayland, x11);
    return probe;
}

} // namespace platform
