// The X server's part when the program is built without X11: no window is ever in
// front of it, so a run outside Wayland reports the no-window line.
#include "platform/linux_desktop.h"

namespace platform::desktop {

WindowHandle x11ForegroundWindow() {
    return 0;
}

int x11WindowText(WindowHandle, wchar_t* buffer, int limit) {
    if (buffer != nullptr && limit > 0) {
        buffer[0] = L'\0';
    }
    return 0;
}

std::uint32_t x11WindowProcessId(WindowHandle, std::uint32_t*) {
    return 0;
}

} // namespace platform::desktop
