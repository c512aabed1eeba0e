// How the compositor on WAYLAND_DISPLAY is found and known, shared by the sampler
// (linux_desktop_wayland.cpp) and the collector's probe (desktop_probe_linux.cpp), so
// that both make the same choice.
#pragma once

#include "platform/fd_linux.h"

#include <sys/types.h>

#include <string>

namespace platform::wayland {

// The variable's value, or empty when it isn't set.
std::string environment(const char* name);

// A stream connection to the Unix socket at PATH, or none (fd -1).
Fd connectTo(const std::string& path);

// WAYLAND_DISPLAY is a socket's name in XDG_RUNTIME_DIR, or its absolute path. DISPLAY
// is not empty.
std::string waylandSocketPath(const std::string& display);

// The process at the other end of SOCKET, or 0.
pid_t peerPid(int socket);

// The name the kernel keeps for PID, or empty.
std::string processName(pid_t pid);

// Sway's IPC socket of the compositor COMPOSITOR, or empty.
std::string swaySocketOf(pid_t compositor);

bool isKwin(const std::string& compositorName);
bool isGnome(const std::string& compositorName);

} // namespace platform::wayland
