#include "platform/input_idle_linux.h"
#include "platform/input_idle.h"

namespace platform {

// On a Wayland desktop the X server (XWayland) sees only the input to its own
// windows: its idle time would grow while the user types in any other. A compositor
// without an idle protocol leaves the time unknown rather than wrong.
std::optional<std::int64_t> inputIdleMilliseconds() {
    const idle::WaylandIdle wayland = idle::fromWayland();
    return wayland.reached ? wayland.milliseconds : idle::fromX11();
}

} // namespace platform
