// Stand-ins on a private bus for the GNOME tests. Prints "ready" once it holds its name.
//   bus-stand-in gdm            GDM on the system bus (DBUS_SYSTEM_BUS_ADDRESS): GNOME
//                               Shell offers its lock screen only when the display
//                               manager answers with its version
//   bus-stand-in extension N    the project's extension on the session bus, answering
//                               as interface version N with no window
//   bus-stand-in silent         the extension's name on the session bus, never answering
//   bus-stand-in renamed        the extension's name on the session bus, with its object
//                               but not this interface (as another version's would be)
#include "platform/gnome_shell_extension.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

int version(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
            sd_bus_error*) {
    return sd_bus_message_append(reply, "s", "43.0");
}

const sd_bus_vtable manager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "s", version, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

bool silent = false;
bool renamed = false;
std::uint32_t answeredVersion = 0;

// Any call on the extension's path: answered as the given version, or held unanswered.
int onCall(sd_bus_message* message, void*, sd_bus_error*) {
    const char* member = sd_bus_message_get_member(message);
    if (renamed || member == nullptr || std::strcmp(member, platform::gnome::focusMethod) != 0) {
        return 0;
    }
    if (silent) {
        return 1;
    }
    return sd_bus_reply_method_return(message, platform::gnome::focusSignature, answeredVersion, 0,
                                      0, "", "", "", 0u);
}

bool serve(int argc, char** argv, sd_bus*& bus) {
    const std::string_view mode = argc >= 2 ? argv[1] : "";
    if (mode == "gdm" && argc == 2) {
        return sd_bus_open_system(&bus) >= 0 &&
               sd_bus_add_object_vtable(bus, nullptr, "/org/gnome/DisplayManager/Manager",
                                        "org.gnome.DisplayManager.Manager", manager,
                                        nullptr) >= 0 &&
               sd_bus_request_name(bus, "org.gnome.DisplayManager", 0) >= 0;
    }
    if ((mode == "extension" && argc == 3) ||
        ((mode == "silent" || mode == "renamed") && argc == 2)) {
        silent = mode == "silent";
        renamed = mode == "renamed";
        answeredVersion = argc != 3 ? 0 : static_cast<std::uint32_t>(std::atoi(argv[2]));
        return sd_bus_open_user(&bus) >= 0 &&
               sd_bus_add_object(bus, nullptr, platform::gnome::objectPath, onCall, nullptr) >= 0 &&
               sd_bus_request_name(bus, platform::gnome::busName, 0) >= 0;
    }
    std::fputs("usage: bus-stand-in gdm | extension VERSION | silent | renamed\n", stderr);
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    sd_bus* bus = nullptr;
    if (!serve(argc, argv, bus)) {
        std::fputs("bus-stand-in: no bus to serve on\n", stderr);
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
