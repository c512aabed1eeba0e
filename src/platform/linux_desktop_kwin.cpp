// KWin tells the active window only to its own scripts: a script of a few lines is
// loaded through KWin's scripting interface on the session bus, run once, and calls
// this process back with the window's caption, resource class and pid. sd-bus
// (libsystemd) is loaded only here, so a run elsewhere never pays for it.
#include "platform/fd_linux.h"
#include "platform/linux_desktop.h"
#include "platform/sd_bus_linux.h"

#include <fcntl.h>
#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform::desktop {
namespace {

constexpr const char* objectPath = "/activity_sampler";
constexpr const char* scriptInterface = "org.kde.kwin.Scripting";

// The script's file, removed once KWin has read it.
struct ScriptFile {
    std::string path;
    ScriptFile() = default;
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;
    ~ScriptFile() {
        if (!path.empty()) {
            unlink(path.c_str());
        }
    }
};

// What the script said, from KWin's own connection only.
struct Callback {
    std::string kwin; // KWin's unique name on the bus
    bool answered = false;
    std::optional<FocusedWindow> window;
};

int onCall(sd_bus_message* message, void* data, sd_bus_error*) {
    auto& callback = *static_cast<Callback*>(data);
    const SdBus& api = sdBus();
    const char* sender = api.sender(message);
    const char* member = api.member(message);
    if (sender == nullptr || callback.kwin != sender || member == nullptr) {
        return 0;
    }
    if (std::strcmp(member, "Active") == 0) {
        const char* caption = nullptr;
        const char* resourceClass = nullptr;
        const char* pid = nullptr;
        if (api.read(message, "sss", &caption, &resourceClass, &pid) < 0) {
            return 0;
        }
        FocusedWindow window;
        window.title = widenUtf8(caption, std::strlen(caption));
        window.appId = resourceClass;
        char* end = nullptr;
        const unsigned long value = std::strtoul(pid, &end, 10);
        window.pid = end != pid && *end == '\0' && value <= UINT32_MAX
                         ? static_cast<std::uint32_t>(value)
                         : 0;
        callback.window = std::move(window);
    } else if (std::strcmp(member, "None") != 0) {
        return 0;
    }
    callback.answered = true;
    api.replyReturn(message, nullptr);
    return 1;
}

// Plasma 6 names the active window activeWindow, 5 activeClient. All three go as text,
// so their types on the bus don't hang on how the script engine converts a number.
std::string scriptText(const char* self) {
    const std::string back =
        std::string("\"") + self + "\", \"" + objectPath + "\", \"org.activity_sampler.Window\", ";
    return "(function () {\n"
           "    const w = workspace.activeWindow !== undefined ? workspace.activeWindow\n"
           "                                                   : workspace.activeClient;\n"
           "    if (w) {\n"
           "        callDBus(" +
           back +
           "\"Active\", String(w.caption), String(w.resourceClass),\n"
           "                 String(w.pid));\n"
           "    } else {\n"
           "        callDBus(" +
           back + "\"None\");\n    }\n})();\n";
}

bool writeScript(ScriptFile& file, const std::string& name, const std::string& text) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') {
        return false;
    }
    const std::string path = std::string(runtime) + "/" + name + ".js";
    // One left by an earlier run of the same pid that didn't end well.
    unlink(path.c_str());
    const Fd out(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.fd < 0) {
        return false;
    }
    file.path = path;
    return write(out.fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool load(sd_bus* bus, const std::string& path, const std::string& plugin) {
    BusReply loaded;
    std::int32_t id = -1;
    return sdBus().callMethod(bus, "org.kde.KWin", "/Scripting", scriptInterface, "loadScript",
                              &loaded.error, &loaded.message, "ss", path.c_str(),
                              plugin.c_str()) >= 0 &&
           sdBus().read(loaded.message, "i", &id) >= 0 && id >= 0;
}

bool unload(sd_bus* bus, const std::string& plugin) {
    BusReply unloaded;
    int found = 0;
    return sdBus().callMethod(bus, "org.kde.KWin", "/Scripting", scriptInterface, "unloadScript",
                              &unloaded.error, &unloaded.message, "s", plugin.c_str()) >= 0 &&
           sdBus().read(unloaded.message, "b", &found) >= 0 && found != 0;
}

std::uint64_t nowUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

} // namespace

bool kwinActiveWindow(std::optional<FocusedWindow>& window) {
    const SdBus& api = sdBus();
    BusConnection bus;
    if (!api.complete || api.openUser(&bus.bus) < 0) {
        return false;
    }
    Callback callback;
    {
        BusReply owner;
        const char* name = nullptr;
        if (api.callMethod(bus.bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "GetNameOwner", &owner.error, &owner.message,
                           "s", "org.kde.KWin") < 0 ||
            api.read(owner.message, "s", &name) < 0) {
            return false;
        }
        callback.kwin = name;
    }
    const char* self = nullptr;
    if (api.uniqueName(bus.bus, &self) < 0 ||
        api.addObject(bus.bus, nullptr, objectPath, onCall, &callback) < 0) {
        return false;
    }
    // One script per run, named by this process: runs side by side don't meet.
    const std::string plugin = "activity-sampler-" + std::to_string(getpid());
    ScriptFile file;
    if (!writeScript(file, plugin, scriptText(self))) {
        return false;
    }
    // A script of this name that an earlier run of the same pid left loaded is
    // unloaded, and the load tried again.
    bool ran = load(bus.bus, file.path, plugin) ||
               (unload(bus.bus, plugin) && load(bus.bus, file.path, plugin));
    if (ran) {
        BusReply started;
        ran = api.callMethod(bus.bus, "org.kde.KWin", "/Scripting", scriptInterface, "start",
                             &started.error, &started.message, "") >= 0;
    }
    // KWin runs the script and calls back within the bound of every compositor's answer.
    const std::uint64_t end = nowUs() + answerLimitMs * 1000;
    while (ran && !callback.answered) {
        const int processed = api.process(bus.bus, nullptr);
        const std::uint64_t now = nowUs();
        if (processed < 0 || now >= end || (processed == 0 && api.wait(bus.bus, end - now) < 0)) {
            break;
        }
    }
    unload(bus.bus, plugin);
    if (!callback.answered) {
        return false;
    }
    window = std::move(callback.window);
    return true;
}

} // namespace platform::desktop
