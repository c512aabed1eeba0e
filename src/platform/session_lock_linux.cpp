// systemd-logind says whether a session is locked in its LockedHint, which the desktop's
// lock screen sets. The session is logind's "auto" one: the caller's, or the user's
// graphical session when the caller (a user service) belongs to none. Where logind
// doesn't answer, GNOME Shell is asked (gnome_session_linux.cpp).
#include "platform/dl_symbol_linux.h"
#include "platform/gnome_session_linux.h"
#include "platform/session_lock.h"

#include <systemd/sd-bus.h>

#include <cstdint>

namespace platform {
namespace {

// A login manager that doesn't answer within this may not hold up the samples.
constexpr std::uint64_t answerMicroseconds = 500'000;

struct SdBus {
    decltype(&sd_bus_open_system) openSystem = nullptr;
    decltype(&sd_bus_set_method_call_timeout) setTimeout = nullptr;
    decltype(&sd_bus_get_property_trivial) getProperty = nullptr;
    decltype(&sd_bus_error_free) errorFree = nullptr;
    decltype(&sd_bus_flush_close_unref) closeUnref = nullptr;
    bool complete = false;

    // Never unloaded: the connection lives as long as the process.
    SdBus() {
        void* library = dlopen("libsystemd.so.0", RTLD_LAZY | RTLD_LOCAL);
        bindSymbol(library, "sd_bus_open_system", openSystem);
        bindSymbol(library, "sd_bus_set_method_call_timeout", setTimeout);
        bindSymbol(library, "sd_bus_get_property_trivial", getProperty);
        bindSymbol(library, "sd_bus_error_free", errorFree);
        bindSymbol(library, "sd_bus_flush_close_unref", closeUnref);
        complete = openSystem && setTimeout && getProperty && errorFree && closeUnref;
    }
};

const SdBus& sdBus() {
    static const SdBus instance;
    return instance;
}

// The system bus connection, kept from question to question and closed once.
struct Connection {
    sd_bus* bus = nullptr;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { close(); }
    void close() {
        if (bus != nullptr) {
            sdBus().closeUnref(bus);
            bus = nullptr;
        }
    }
};

// sd-bus's error, freed on every way out.
struct BusError {
    sd_bus_error error{nullptr, nullptr, 0}; // SD_BUS_ERROR_NULL, without its C compound literal
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sdBus().errorFree(&error); }
};

} // namespace

namespace {

std::optional<bool> logindLocked() {
    const SdBus& sd = sdBus();
    if (!sd.complete) {
        return std::nullopt;
    }
    static Connection connection;
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
