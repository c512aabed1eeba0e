#include "platform/input_idle.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <cstdlib>

namespace platform {
namespace {

// A connection per query: Xlib ends the process when a kept connection breaks (the
// server restarted), and a query every few seconds costs little.
struct DisplayConnection {
    Display* display = XOpenDisplay(nullptr);
    DisplayConnection() = default;
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;
    ~DisplayConnection() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
};

struct ScreenSaverInfo {
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    ScreenSaverInfo() = default;
    ScreenSaverInfo(const ScreenSaverInfo&) = delete;
    ScreenSaverInfo& operator=(const ScreenSaverInfo&) = delete;
    ~ScreenSaverInfo() {
        if (info != nullptr) {
            XFree(info);
        }
    }
};

} // namespace

std::optional<std::int64_t> inputIdleMilliseconds() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') {
        return std::nullopt;
    }
    DisplayConnection connection;
    if (connection.display == nullptr) {
        return std::nullopt;
    }
    int eventBase = 0, errorBase = 0;
    if (!XScreenSaverQueryExtension(connection.display, &eventBase, &errorBase)) {
        return std::nullopt;
    }
    ScreenSaverInfo saver;
    if (saver.info == nullptr ||
        XScreenSaverQueryInfo(connection.display, DefaultRootWindow(connection.display),
                              saver.info) == 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(saver.info->idle);
}

} // namespace platform
