// GNOME Shell's answers for the collector, on one session bus connection kept from
// question to question. Mutter counts the idle time itself, headless too. The lock is
// the project's extension's word, else org.gnome.ScreenSaver's (which the shell offers
// only with a display manager).
#include "platform/gnome_session_linux.h"
#include "platform/gnome_shell_extension.h"
#include "platform/sd_bus_linux.h"

namespace platform::gnome {
namespace {

// A shell that doesn't answer within this may not hold up the samples.
constexpr std::uint64_t answerMicroseconds = 500'000;

// The session bus connection, opened at the first question and again after one that
// lost it.
BusConnection& connection() {
    static BusConnection instance;
    return instance;
}

sd_bus* sessionBus() {
    const SdBus& sd = sdBus();
    BusConnection& held = connection();
    if (!sd.complete || sd.setTimeout == nullptr) {
        return nullptr;
    }
    if (held.bus == nullptr) {
        if (sd.openUser(&held.bus) < 0) {
            held.bus = nullptr;
            return nullptr;
        }
        sd.setTimeout(held.bus, answerMicroseconds);
    }
    return held.bus;
}

// A method without arguments, never started by the bus when its name has no owner
// (org.gnome.ScreenSaver's would start a program of its own each time). A service
// that isn't there leaves the connection as it was; any other failure (the bus gone,
// no answer) has the next question start on a new one.
bool call(const char* destination, const char* path, const char* interface, const char* member,
          BusReply& reply) {
    const SdBus& sd = sdBus();
    sd_bus* bus = sessionBus();
    BusMessage request;
    if (bus == nullptr ||
        sd.newCall(bus, &request.message, destination, path, interface, member) < 0 ||
        sd.setAutoStart(request.message, 0) < 0) {
        return false;
    }
    if (sd.call(bus, request.message, 0, &reply.error, &reply.message) >= 0) {
        return true;
    }
    if (sd.errorHasName(&reply.error, "org.freedesktop.DBus.Error.ServiceUnknown") == 0 &&
        sd.errorHasName(&reply.error, "org.freedesktop.DBus.Error.NameHasNoOwner") == 0 &&
        sd.errorHasName(&reply.error, "org.freedesktop.DBus.Error.UnknownMethod") == 0 &&
        sd.errorHasName(&reply.error, "org.freedesktop.DBus.Error.UnknownObject") == 0 &&
        sd.errorHasName(&reply.error, "org.freedesktop.DBus.Error.UnknownInterface") == 0) {
        connection().close();
    }
    return false;
}

} // namespace

std::optional<std::int64_t> mutterIdleMilliseconds() {
    BusReply reply;
    std::uint64_t idle = 0;
    if (!call("org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
              "org.gnome.Mutter.IdleMonitor", "GetIdletime", reply) ||
        sdBus().read(reply.message, "t", &idle) < 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(idle);
}

std::optional<bool> shellSessionLocked() {
    // The extension says so from the moment the lock screen starts to rise, as the
    // sampler sees it; org.gnome.ScreenSaver only once its animation has ended.
    {
        BusReply reply;
        std::uint32_t version = 0;
        int locked = 0;
        if (call(busName, objectPath, interfaceName, focusMethod, reply) &&
            sdBus().read(reply.message, "ub", &version, &locked) >= 0 &&
            version == interfaceVersion) {
            return locked != 0;
        }
    }
    BusReply reply;
    int active = 0;
    if (!call("org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver",
              "GetActive", reply) ||
        sdBus().read(reply.message, "b", &active) < 0) {
        return std::nullopt;
    }
    return active != 0;
}

} // namespace platform::gnome
