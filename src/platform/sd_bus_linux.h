// sd-bus (libsystemd), loaded at run time: one function table for every caller in
// src/platform, and the handles it gives, each released on every way out. Built only
// where sd-bus's header is at hand.
#pragma once

#include <systemd/sd-bus.h>

namespace platform {

struct SdBus {
    decltype(&sd_bus_open_user) openUser = nullptr;
    decltype(&sd_bus_open_system) openSystem = nullptr;
    decltype(&sd_bus_flush_close_unref) closeUnref = nullptr;
    decltype(&sd_bus_set_method_call_timeout) setTimeout = nullptr;
    decltype(&sd_bus_get_unique_name) uniqueName = nullptr;
    decltype(&sd_bus_add_object) addObject = nullptr;
    decltype(&sd_bus_call_method) callMethod = nullptr;
    decltype(&sd_bus_message_new_method_call) newCall = nullptr;
    decltype(&sd_bus_message_set_auto_start) setAutoStart = nullptr;
    decltype(&sd_bus_call) call = nullptr;
    decltype(&sd_bus_get_property_trivial) getProperty = nullptr;
    decltype(&sd_bus_message_read) read = nullptr;
    decltype(&sd_bus_message_unref) unref = nullptr;
    decltype(&sd_bus_message_get_sender) sender = nullptr;
    decltype(&sd_bus_message_get_member) member = nullptr;
    decltype(&sd_bus_reply_method_return) replyReturn = nullptr;
    decltype(&sd_bus_error_free) errorFree = nullptr;
    decltype(&sd_bus_error_has_name) errorHasName = nullptr;
    decltype(&sd_bus_process) process = nullptr;
    decltype(&sd_bus_wait) wait = nullptr;
    // Every function but setTimeout is found. That one came later (systemd 240) than the
    // rest, and is checked by the callers that bound their answers with it; KWin's
    // callback keeps its own bound and works without it.
    bool complete = true;
};

// libsystemd's functions, looked up at the first call. Never unloaded: the sampler's
// run ends right after its line, and the collector keeps its connections as long as
// the process.
const SdBus& sdBus();

// What sd-bus handed over. Without libsystemd nothing was, and nothing is called.
void release(sd_bus_message* message);
void release(sd_bus_error& error);

// A bus connection, flushed and closed on every way out (or by close(), after a
// failure, so that the next question opens a new one).
struct BusConnection {
    sd_bus* bus = nullptr;
    BusConnection() = default;
    BusConnection(const BusConnection&) = delete;
    BusConnection& operator=(const BusConnection&) = delete;
    ~BusConnection() { close(); }
    void close();
};

struct BusMessage {
    sd_bus_message* message = nullptr;
    BusMessage() = default;
    BusMessage(const BusMessage&) = delete;
    BusMessage& operator=(const BusMessage&) = delete;
    ~BusMessage() { release(message); }
};

struct BusError {
    sd_bus_error error{nullptr, nullptr, 0}; // SD_BUS_ERROR_NULL, without its C compound literal
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { release(error); }
};

// A method call's answer: the reply, or the error.
struct BusReply {
    sd_bus_message* message = nullptr;
    sd_bus_error error{nullptr, nullptr, 0}; // SD_BUS_ERROR_NULL, without its C compound literal
    BusReply() = default;
    BusReply(const BusReply&) = delete;
    BusReply& operator=(const BusReply&) = delete;
    ~BusReply() {
        release(message);
        release(error);
    }
};

} // namespace platform
