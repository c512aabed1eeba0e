// The window calls of the Linux provider: a Wayland compositor that answers, else the
// X server. The choice is made by the first window query of the run and kept for the
// rest of it; a Wayland window is then held here, as the compositor described it.
#include "platform/linux_desktop.h"
#include "platform/text_codec.h"

#include <algorithm>

namespace platform {
namespace {

enum class Desktop { unchosen, wayland, x11 };

struct Choice {
    Desktop desktop = Desktop::unchosen;
    std::optional<desktop::FocusedWindow> window;
};

Choice& choice() {
    static Choice instance;
    return instance;
}

// The one handle a Wayland window has: the run asks for one window only.
constexpr WindowHandle waylandWindow = 1;

const desktop::FocusedWindow* waylandWindowFor(WindowHandle window) {
    const Choice& c = choice();
    return c.desktop == Desktop::wayland && window == waylandWindow && c.window ? &*c.window
                                                                                : nullptr;
}

} // namespace

namespace desktop {

std::vector<wchar_t> widenUtf8(const char* text, std::size_t bytes) {
    std::vector<wchar_t> units;
    if (bytes == 0) {
        return units;
    }
    // Each byte gives at most one unit, a four-byte sequence two.
    units.resize(bytes);
    const int count = codec::wideFromUtf8(text, static_cast<int>(bytes), units.data(),
                                          static_cast<int>(units.size()));
    units.resize(static_cast<std::size_t>(std::max(count, 0)));
    return units;
}

const std::string* appIdStandingForProcess() {
    const Choice& c = choice();
    if (c.desktop != Desktop::wayland || !c.window || c.window->pid != 0 ||
        c.window->appId.empty()) {
        return nullptr;
    }
    return &c.window->appId;
}

} // namespace desktop

WindowHandle getForegroundWindow() {
    Choice& c = choice();
    if (c.desktop == Desktop::unchosen) {
        desktop::WaylandAnswer answer = desktop::waylandFocusedWindow();
        c.desktop = answer.reached ? Desktop::wayland : Desktop::x11;
        c.window = std::move(answer.window);
    }
    if (c.desktop == Desktop::x11) {
        return desktop::x11ForegroundWindow();
    }
    return c.window ? waylandWindow : 0;
}

int getWindowTextW(WindowHandle window, wchar_t* buffer, int limit) {
    if (choice().desktop != Desktop::wayland) {
        return desktop::x11WindowText(window, buffer, limit);
    }
    if (buffer == nullptr || limit <= 0) {
        return 0;
    }
    buffer[0] = L'\0';
    const desktop::FocusedWindow* focused = waylandWindowFor(window);
    if (focused == nullptr) {
        return 0;
    }
    const std::size_t count = std::min(focused->title.size(), static_cast<std::size_t>(limit) - 1);
    std::copy_n(focused->title.begin(), count, buffer);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

std::uint32_t getWindowThreadProcessId(WindowHandle window, std::uint32_t* pid) {
    if (choice().desktop != Desktop::wayland) {
        return desktop::x11WindowProcessId(window, pid);
    }
    const desktop::FocusedWindow* focused = waylandWindowFor(window);
    if (focused == nullptr || focused->pid == 0) {
        return 0;
    }
    if (pid != nullptr) {
        *pid = focused->pid;
    }
    return focused->pid;
}

} // namespace platform
