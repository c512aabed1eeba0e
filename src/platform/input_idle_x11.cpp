#include "platform/input_idle_linux.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <X11/extensions/sync.h>

#include <cstdlib>
#include <cstring>

namespace platform::idle {
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

struct SystemCounters {
    XSyncSystemCounter* list = nullptr;
    int count = 0;
    explicit SystemCounters(Display* display) { list = XSyncListSystemCounters(display, &count); }
    SystemCounters(const SystemCounters&) = delete;
    SystemCounters& operator=(const SystemCounters&) = delete;
    ~SystemCounters() {
        if (list != nullptr) {
            XSyncFreeSystemCounterList(list);
        }
    }
};

// The server's own idle counter (the Sync extension's IDLETIME). It is the time the
// screen-saver extension reports too, on a desktop's server; Xvfb's screen-saver
// extension reports 0 whatever the input, its IDLETIME the true time.
std::optional<std::int64_t> idleTimeCounter(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XSyncQueryExtension(display, &eventBase, &errorBase) ||
        !XSyncInitialize(display, &major, &minor)) {
        return std::nullopt;
    }
    const SystemCounters counters(display);
    for (int i = 0; i < counters.count; ++i) {
        if (std::strcmp(counters.list[i].name, "IDLETIME") == 0) {
            XSyncValue value;
            if (!XSyncQueryCounter(display, counters.list[i].counter, &value)) {
                return std::nullopt;
            }
            return (static_cast<std::int64_t>(XSyncValueHigh32(value)) << 32) |
                   static_cast<std::int64_t>(XSyncValueLow32(value));
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::int64_t> fromX11() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') {
        return std::nullopt;
    }
    DisplayConnection connection;
    if (connection.display == nullptr) {
        return std::nullopt;
    }
    if (const auto counted = idleTimeCounter(connection.display)) {
        return counted;
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

} // namespace platform::idle
