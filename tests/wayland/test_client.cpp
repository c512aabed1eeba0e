// A test-only Wayland client: one xdg-shell toplevel with the title and app id a test
// asks for, shown with a plain buffer. It prints "ready" once the compositor has
// mapped it, then holds it until its standard input closes.
//
//   wayland_test_client [--title=UTF8] [--app-id=ID]
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

struct Client {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* shell = nullptr;
    bool configured = false;
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
    auto* client = static_cast<Client*>(data);
    const std::string_view kind = interface;
    if (kind == wl_compositor_interface.name) {
        client->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 1));
    } else if (kind == wl_shm_interface.name) {
        client->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (kind == xdg_wm_base_interface.name) {
        client->shell =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    }
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

void onPing(void*, xdg_wm_base* shell, std::uint32_t serial) {
    xdg_wm_base_pong(shell, serial);
}
const xdg_wm_base_listener shellListener{onPing};

void onSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    static_cast<Client*>(data)->configured = true;
}
const xdg_surface_listener surfaceListener{onSurfaceConfigure};

void onToplevelConfigure(void*, xdg_toplevel*, std::int32_t, std::int32_t, wl_array*) {}
void onToplevelClose(void*, xdg_toplevel*) {}
// Bound at version 1: the later events never come.
const xdg_toplevel_listener toplevelListener{onToplevelConfigure, onToplevelClose, nullptr,
                                             nullptr};

// A white buffer of the given size, in shared memory.
wl_buffer* whiteBuffer(wl_shm* shm, int width, int height) {
    const int stride = width * 4;
    const int size = stride * height;
    const int memory = memfd_create("wayland-test-client", MFD_CLOEXEC);
    if (memory < 0 || ftruncate(memory, size) != 0) {
        return nullptr;
    }
    void* pixels = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED,
                        memory, 0);
    if (pixels == MAP_FAILED) {
        close(memory);
        return nullptr;
    }
    std::memset(pixels, 0xFF, static_cast<std::size_t>(size));
    munmap(pixels, static_cast<std::size_t>(size));
    wl_shm_pool* pool = wl_shm_create_pool(shm, memory, size);
    wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(memory);
    return buffer;
}

} // namespace

int main(int argc, char** argv) {
    std::string title;
    std::string appId;
    bool hasTitle = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--title=")) {
            title = std::string(arg.substr(8));
            hasTitle = true;
        } else if (arg.starts_with("--app-id=")) {
            appId = std::string(arg.substr(9));
        } else {
            std::fprintf(stderr, "wayland_test_client: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wayland_test_client: cannot connect to the compositor\n");
        return 1;
    }
    Client client;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &client);
    wl_display_roundtrip(display);
    if (client.compositor == nullptr || client.shm == nullptr || client.shell == nullptr) {
        std::fprintf(stderr, "wayland_test_client: the compositor lacks xdg-shell or wl_shm\n");
        return 1;
    }
    xdg_wm_base_add_listener(client.shell, &shellListener, nullptr);
    wl_surface* surface = wl_compositor_create_surface(client.compositor);
    xdg_surface* shellSurface = xdg_wm_base_get_xdg_surface(client.shell, surface);
    xdg_surface_add_listener(shellSurface, &surfaceListener, &client);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(shellSurface);
    xdg_toplevel_add_listener(toplevel, &toplevelListener, nullptr);
    if (hasTitle) {
        xdg_toplevel_set_title(toplevel, title.c_str());
    }
    if (!appId.empty()) {
        xdg_toplevel_set_app_id(toplevel, appId.c_str());
    }
    wl_surface_commit(surface);
    while (!client.configured && wl_display_dispatch(display) >= 0) {
    }
    wl_buffer* buffer = whiteBuffer(client.shm, 64, 64);
    if (buffer == nullptr) {
        std::fprintf(stderr, "wayland_test_client: no shared memory for the buffer\n");
        return 1;
    }
    wl_surface_attach(surface, buffer, 0, 0);
    wl_surface_commit(surface);
    wl_display_roundtrip(display);

    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    // Answers the compositor (its pings) until the test closes the input.
    pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {wl_display_get_fd(display), POLLIN, 0}};
    for (;;) {
        wl_display_flush(display);
        if (poll(waits, 2, -1) < 0) {
            break;
        }
        if (waits[0].revents != 0) {
            char byte;
            if (read(STDIN_FILENO, &byte, 1) <= 0) {
                break;
            }
        }
        if (waits[1].revents != 0 && wl_display_dispatch(display) < 0) {
            break;
        }
    }
    wl_display_disconnect(display);
    return 0;
}
