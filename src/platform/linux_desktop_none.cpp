// The Linux desktop when the program is built without X11: there is no foreground
// window, so every run reports the no-window line.
#include "platform/platform.h"

namespace platform {

WindowHandle getForegroundWindow() {
    return 0;
}

int getWindowTextW(WindowHandle, wchar_t* buffer, int limit) {
    if (buffer != nullptr && limit > 0) {
        buffer[0] = L'\0';
    }
    return 0;
}

std::uint32_t getWindowThreadProcessId(WindowHandle, std::uint32_t*) {
    return 0;
}

} // namespace platform
