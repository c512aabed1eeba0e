// GNOME Shell tells the focused window only to its own extensions: the project ships
// one (gnome-shell-extension/), which answers on the session bus when asked. sd-bus
// (libsystemd) is loaded only here, so a run elsewhere never pays for it. When the
// extension can't answer, the run says why and what mends it.
#include "platform/gnome_shell_extension.h"
#include "platform/linux_desktop.h"
#include "platform/sd_bus_linux.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace platform::desktop {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool exists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

// Where GNOME Shell looks for extensions: the user's data folder first, then the
// system's.
bool extensionInstalled() {
    const std::string suffix =
        std::string("/gnome-shell/extensions/") + gnome::extensionUuid + "/metadata.json";
    std::string userData = environment("XDG_DATA_HOME");
    if (userData.empty() && !environment("HOME").empty()) {
        userData = environment("HOME") + "/.local/share";
    }
    if (!userData.empty() && exists(userData + suffix)) {
        return true;
    }
    std::string systemData = environment("XDG_DATA_DIRS");
    if (systemData.empty()) {
        systemData = "/usr/local/share:/usr/share";
    }
    std::string_view folders = systemData;
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        if (!folder.empty() && exists(std::string(folder) + suffix)) {
            return true;
        }
        folders = colon == std::string_view::npos ? "" : folders.substr(colon + 1);
    }
    return false;
}

std::string mend() {
    return std::string("; `") + gnome::installCommand +
           "` installs and enables it, then log out and back in";
}

std::string anotherVersion(const std::string& what) {
    return "GNOME Shell's extension " + std::string(gnome::extensionUuid) + " " + what +
           ", and this program needs version " + std::to_string(gnome::interfaceVersion) + mend();
}

// Why the call failed, for the user.
std::string callProblem(int status, const sd_bus_error& error) {
    const std::string_view name = error.name != nullptr ? error.name : "";
    const std::string extension = "GNOME Shell's extension " + std::string(gnome::extensionUuid);
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        name == "org.freedesktop.DBus.Error.NameHasNoOwner") {
        return extensionInstalled()
                   ? extension +
                         " is installed but not running (disabled, or installed since this "
                         "login)" +
                         mend()
                   : extension + " is not installed" + mend();
    }
    if (name == "org.freedesktop.DBus.Error.UnknownMethod" ||
        name == "org.freedesktop.DBus.Error.UnknownInterface" ||
        name == "org.freedesktop.DBus.Error.UnknownObject" ||
        name == "org.freedesktop.DBus.Error.InvalidArgs") {
        return anotherVersion("is of another version");
    }
    if (status == -ETIMEDOUT || name == "org.freedesktop.DBus.Error.NoReply" ||
        name == "org.freedesktop.DBus.Error.Timeout") {
        return extension + " did not answer within " + std::to_string(answerLimitMs / 1000) + " s" +
               mend();
    }
    std::string problem = extension + " could not be asked";
    if (error.message != nullptr) {
        problem.append(": ").append(error.message);
    } else {
        problem.append(": ").append(std::strerror(-status));
    }
    return problem;
}

} // namespace

bool gnomeFocusedWindow(std::optional<FocusedWindow>& window, std::string& problem) {
    const SdBus& api = sdBus();
    if (!api.complete || api.setTimeout == nullptr) {
        problem = "GNOME Shell's extension is asked through libsystemd (sd-bus), which could "
                  "not be loaded";
        return false;
    }
    BusConnection bus;
    if (api.openUser(&bus.bus) < 0) {
        problem = "GNOME Shell's extension answers on the session bus, and none was found "
                  "(DBUS_SESSION_BUS_ADDRESS)";
        return false;
    }
    api.setTimeout(bus.bus, answerLimitMs * 1000);
    BusReply reply;
    const int status =
        api.callMethod(bus.bus, gnome::busName, gnome::objectPath, gnome::interfaceName,
                       gnome::focusMethod, &reply.error, &reply.message, "");
    if (status < 0) {
        problem = callProblem(status, reply.error);
        return false;
    }
    std::uint32_t version = 0;
    int locked = 0;
    int focused = 0;
    const char* title = nullptr;
    const char* wmClass = nullptr;
    const char* appId = nullptr;
    std::uint32_t pid = 0;
    if (api.read(reply.message, gnome::focusSignature, &version, &locked, &focused, &title,
                 &wmClass, &appId, &pid) < 0) {
        problem = anotherVersion("answers in another form");
        return false;
    }
    if (version != gnome::interfaceVersion) {
        problem = anotherVersion("is version " + std::to_string(version));
        return false;
    }
    // The lock screen is the shell's own: no application window is in front.
    if (locked != 0 || focused == 0) {
        window.reset();
        return true;
    }
    FocusedWindow found;
    found.title = widenUtf8(title, std::strlen(title));
    found.pid = pid;
    // A Flatpak application is known by its own id; the WM class otherwise.
    found.appId = *appId != '\0' ? appId : wmClass;
    window = std::move(found);
    return true;
}

} // namespace platform::desktop
