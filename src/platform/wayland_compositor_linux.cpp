#include "platform/wayland_compositor_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace platform::wayland {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

Fd connectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return Fd();
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd < 0 ||
        connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return Fd();
    }
    return Fd(socket.release());
}

std::string waylandSocketPath(const std::string& display) {
    if (display.front() == '/') {
        return display;
    }
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    return runtime.empty() ? "" : runtime + "/" + display;
}

pid_t peerPid(int socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
        return 0;
    }
    return peer.pid;
}

std::string processName(pid_t pid) {
    if (pid <= 0) {
        return "";
    }
    const std::string path = "/proc/" + std::to_string(pid) + "/comm";
    const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    char name[64] = {};
    const ssize_t bytes = file.fd >= 0 ? read(file.fd, name, sizeof name - 1) : 0;
    std::string_view text(name, bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
    if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

// Sway keeps its IPC socket in the runtime folder as sway-ipc.UID.PID.sock; the pid
// tells the sway of this display from another one of the same user.
std::string swaySocketOf(pid_t compositor) {
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (runtime.empty() || compositor <= 0) {
        return "";
    }
    DIR* folder = opendir(runtime.c_str());
    if (folder == nullptr) {
        return "";
    }
    std::string suffix(1, '.');
    suffix.append(std::to_string(compositor)).append(".sock");
    std::string found;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with("sway-ipc.") && name.ends_with(suffix)) {
            found = runtime + "/" + std::string(name);
            break;
        }
    }
    closedir(folder);
    return found;
}

bool isKwin(const std::string& compositorName) {
    return compositorName == "kwin_wayland" ||
           environment("XDG_CURRENT_DESKTOP").find("KDE") != std::string::npos;
}

// XDG_CURRENT_DESKTOP lists the desktop's names, GNOME's among them on Ubuntu's
// ("ubuntu:GNOME").
bool isGnome(const std::string& compositorName) {
    return compositorName == "gnome-shell" ||
           environment("XDG_CURRENT_DESKTOP").find("GNOME") != std::string::npos;
}

} // namespace platform::wayland
