// The sampler's choice, as linux_desktop.cpp makes it: a Wayland compositor when
// WAYLAND_DISPLAY names one that answers (sway through its IPC socket, KWin and GNOME Shell
// by their process or XDG_CURRENT_DESKTOP, else the compositor by its process's name), else the
// X server that DISPLAY names. Idle time as input_idle_linux.cpp finds it.
#include "platform/desktop_probe.h"
#include "platform/fd_linux.h"
#include "platform/gnome_session_linux.h"
#include "platform/input_idle_linux.h"
#include "platform/wayland_compositor_linux.h"

#include <string>

namespace platform {
namespace {

using wayland::connectTo;
using wayland::environment;
using wayland::isGnome;
using wayland::isKwin;
using wayland::peerPid;
using wayland::processName;
using wayland::swaySocketOf;
using wayland::waylandSocketPath;

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
    const std::string name = processName(compositor);
    if (!swaySocketOf(compositor).empty()) {
        return "sway" + where;
    }
    if (isKwin(name)) {
        return "KWin" + where;
    }
    if (isGnome(name)) {
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
