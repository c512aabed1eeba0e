// systemd-logind says whether a session is locked in its LockedHint, which the desktop's
// lock screen sets. The session is logind's "auto" one: the caller's, or the user's
// graphical session when the caller (a user service) belongs to none. Where logind
// doesn't answer, GNOME Shell is asked (gnome_session_linux.cpp).
#include "platform/gnome_session_linux.h"
#include "platform/sd_bus_linux.h"
#include "platform/session_lock.h"

#include <cstdint>

namespace platform {
namespace {

// A login manager that doesn't answer within this may not hold up the samples.
constexpr std::uint64_t answerMicroseconds = 500'000;

std::optional<bool> logindLocked() {
    const SdBus& sd = sdBus();
    if (!sd.complete || sd.setTimeout == nullptr) {
        return std::nullopt;
    }
    // The system bus connection, kept from question to question and closed once.
    static BusConnection connection;
    if (connection.bus == nullptr) {
        if (sd.openSystem(&connection.bus) < 0) {
            connection.bus = nullptr;
            return std::nullopt;
        }
        sd.setTimeout(connection.bus, answerMicroseconds);
    }
    BusError error;
    int locked = 0;
    if (sd.getProperty(connection.bus, "org.freedesktop.login1",
                       "/org/freedesktop/login1/session/auto", "org.freedesktop.login1.Session",
                       "LockedHint", &error.error, 'b', &locked) < 0) {
        // A bus or login manager that went away may be back by the next question.
        connection.close();
        return std::nullopt;
    }
    return locked != 0;
}

} // namespace

std::optional<bool> sessionLocked() {
    const std::optional<bool> logind = logindLocked();
    return logind ? logind : gnome::shellSessionLocked();
}

} // namespace platform
