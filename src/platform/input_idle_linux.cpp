#include "platform/input_idle_linux.h"
#include "platform/gnome_session_linux.h"
#include "platform/input_idle.h"

namespace platform {

// On a Wayland desktop the X server (XWayland) sees only the input to its own
// windows: its idle time would grow while the user types in any other. A compositor
// without an idle protocol is asked as Mutter (GNOME Shell counts the time there), and
// else leaves the time unknown rather than wrong.
std::optional<std::int64_t> inputIdleMilliseconds() {
    const idle::WaylandIdle wayland = idle::fromWayland();
    if (!wayland.reached) {
        return idle::fromX11();
    }
    return wayland.milliseconds ? wayland.milliseconds : gnome::mutterIdleMilliseconds();
}

} // namespace platform
