// The idle time from a Wayland compositor. Its idle protocols tell when the seat has
// had no input for a given time and when input resumes, not the time since the last
// input: ext-idle-notify-v1 (newer compositors) and KDE's org_kde_kwin_idle (KWin,
// and wlroots compositors such as sway 1.7 that predate the other). A watch asks for
// the first second without input; a thread of its own takes the compositor's events
// as they come, so that the moment input stopped is known to about a millisecond:
// the event's arrival less that second. The compositor counts from the watch's start:
// a user already away when the collector starts is idle from then on. A compositor
// with neither protocol (GNOME Shell) is asked once: its connection is kept, watching
// nothing, and asked again only once it is lost.
#include "platform/input_idle_linux.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <wayland-client.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace platform::idle {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t watchMs = 1000;

struct Watch {
    wl_display* display = nullptr;
    wl_seat* seat = nullptr;
    ext_idle_notifier_v1* notifier = nullptr;
    org_kde_kwin_idle* kdeIdle = nullptr;
    bool hasProtocol = false; // false: the compositor can't tell, as long as it runs
    const char* protocol = nullptr;

    std::mutex mutex;
    bool broken = false;                        // the connection is lost
    std::optional<Clock::time_point> idleSince; // the last input, while none follows
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
    auto* watch = static_cast<Watch*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && watch->seat == nullptr) {
        watch->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
        watch->notifier = static_cast<ext_idle_notifier_v1*>(
            wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
        watch->kdeIdle = static_cast<org_kde_kwin_idle*>(
            wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    }
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

void becameIdle(Watch* watch) {
    const std::lock_guard lock(watch->mutex);
    watch->idleSince = Clock::now() - std::chrono::milliseconds(watchMs);
}
void resumed(Watch* watch) {
    const std::lock_guard lock(watch->mutex);
    watch->idleSince.reset();
}

void onIdled(void* data, ext_idle_notification_v1*) {
    becameIdle(static_cast<Watch*>(data));
}
void onResumed(void* data, ext_idle_notification_v1*) {
    resumed(static_cast<Watch*>(data));
}
const ext_idle_notification_v1_listener notificationListener{onIdled, onResumed};

void onKdeIdle(void* data, org_kde_kwin_idle_timeout*) {
    becameIdle(static_cast<Watch*>(data));
}
void onKdeResumed(void* data, org_kde_kwin_idle_timeout*) {
    resumed(static_cast<Watch*>(data));
}
const org_kde_kwin_idle_timeout_listener kdeListener{onKdeIdle, onKdeResumed};

void takeEvents(Watch* watch) {
    while (wl_display_dispatch(watch->display) >= 0) {
    }
    const std::lock_guard lock(watch->mutex);
    watch->broken = true;
}

// A watch on the compositor, its thread started, and without a protocol when the
// compositor has none; nothing when it can't be had. reached tells whether a
// compositor answered at all.
Watch* startWatch(bool& reached) {
    auto* watch = new Watch;
    watch->display = wl_display_connect(nullptr);
    reached = watch->display != nullptr;
    if (!reached) {
        delete watch;
        return nullptr;
    }
    wl_registry* registry = wl_display_get_registry(watch->display);
    wl_registry_add_listener(registry, &registryListener, watch);
    const bool listed = wl_display_roundtrip(watch->display) >= 0;
    if (!listed) {
        wl_display_disconnect(watch->display);
        delete watch;
        return nullptr;
    }
    if (watch->seat != nullptr && watch->notifier != nullptr) {
        ext_idle_notification_v1* notification =
            ext_idle_notifier_v1_get_idle_notification(watch->notifier, watchMs, watch->seat);
        ext_idle_notification_v1_add_listener(notification, &notificationListener, watch);
        watch->hasProtocol = true;
        watch->protocol = ext_idle_notifier_v1_interface.name;
    } else if (watch->seat != nullptr && watch->kdeIdle != nullptr) {
        org_kde_kwin_idle_timeout* timeout =
            org_kde_kwin_idle_get_idle_timeout(watch->kdeIdle, watch->seat, watchMs);
        org_kde_kwin_idle_timeout_add_listener(timeout, &kdeListener, watch);
        watch->hasProtocol = true;
        watch->protocol = org_kde_kwin_idle_interface.name;
    }
    if (wl_display_flush(watch->display) < 0) {
        wl_display_disconnect(watch->display);
        delete watch;
        return nullptr;
    }
    // Never joined: it waits on the compositor for the rest of the process.
    std::thread(takeEvents, watch).detach();
    return watch;
}

// The watch of this process, kept for its life; a lost one is left to its ended
// thread and a new one started (the compositor was restarted).
Watch* current = nullptr;

} // namespace

WaylandIdle fromWayland() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        return {};
    }
    if (current != nullptr) {
        const std::lock_guard lock(current->mutex);
        if (!current->broken) {
            if (!current->hasProtocol) {
                return {true, std::nullopt}; // the answer of its first question
            }
            const auto since = current->idleSince;
            const std::int64_t idle =
                since ? std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *since)
                            .count()
                      : 0;
            return {true, idle, current->protocol};
        }
    }
    bool reached = false;
    current = startWatch(reached);
    const bool watching = current != nullptr && current->hasProtocol;
    return {reached, watching ? std::optional<std::int64_t>(0) : std::nullopt,
            watching ? current->protocol : nullptr};
}

} // namespace platform::idle
