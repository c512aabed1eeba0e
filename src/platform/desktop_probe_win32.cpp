#include "platform/desktop_probe.h"

namespace platform {

// The sampler asks the interactive desktop of the collector's own session, which
// always answers; GetLastInputInfo tells the session's idle time.
DesktopProbe probeDesktop() {
    return {true, "the Windows desktop", "Windows (GetLastInputInfo)"};
}

} // namespace platform
