#include "platform/input_idle_linux.h"

namespace platform::idle {

// Built without libwayland-client: no compositor is asked, the X server is.
WaylandIdle fromWayland() {
    return {};
}

} // namespace platform::idle
