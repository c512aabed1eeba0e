// A stand-in for systemd-logind on a private bus: the one property the collector asks
// for, the "auto" session's LockedHint, read at each question from a file the test
// writes ("1": locked). Prints "ready" once it holds logind's name.
//   logind-stand-in STATE_FILE     (the bus: DBUS_SYSTEM_BUS_ADDRESS)
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

const char* stateFile = nullptr;

int lockedHint(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
               sd_bus_error*) {
    std::ifstream in(stateFile);
    std::string state;
    in >> state;
    return sd_bus_message_append(reply, "b", state == "1" ? 1 : 0);
}

const sd_bus_vtable session[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("LockedHint", "b", lockedHint, 0, 0),
    SD_BUS_VTABLE_END,
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: logind-stand-in STATE_FILE\n", stderr);
        return 2;
    }
    stateFile = argv[1];
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0 ||
        sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1/session/auto",
                                 "org.freedesktop.login1.Session", session, nullptr) < 0 ||
        sd_bus_request_name(bus, "org.freedesktop.login1", 0) < 0) {
        std::fputs("logind-stand-in: no bus to serve on\n", stderr);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    for (;;) {
        const int processed = sd_bus_process(bus, nullptr);
        if (processed < 0) {
            return 1;
        }
        if (processed == 0 && sd_bus_wait(bus, UINT64_MAX) < 0) {
            return 1;
        }
    }
}
