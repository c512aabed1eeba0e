// wlr-foreign-toplevel-management: the compositor lists its toplevel windows with their
// title, app id and state, the activated one among them. It gives no pid.
//
// Spoken on the Wayland wire directly rather than through libwayland-client: the run
// needs four requests and the events they bring, and the sampler starts every few
// seconds, where loading a library costs more than the whole exchange.
#include "platform/linux_desktop.h"

#include <sys/socket.h>

#include <cstring>
#include <map>
#include <string_view>
#include <vector>

namespace platform::desktop {
namespace {

constexpr std::string_view managerInterface = "zwlr_foreign_toplevel_manager_v1";

// Object ids of this client, and the messages used (opcodes from the protocols'
// descriptions: wayland.xml and wlr-foreign-toplevel-management-unstable-v1.xml).
constexpr std::uint32_t displayId = 1, registryId = 2, firstSyncId = 3, managerId = 4,
                        secondSyncId = 5;
constexpr std::uint32_t displaySync = 0, displayGetRegistry = 1, registryBind = 0;
constexpr std::uint32_t displayError = 0, registryGlobal = 0, callbackDone = 0;
constexpr std::uint32_t managerToplevel = 0;
constexpr std::uint32_t toplevelTitle = 0, toplevelAppId = 1, toplevelState = 4, toplevelClosed = 6;
constexpr std::uint32_t stateActivated = 2;
// A compositor that sends more than this before answering a sync is not one to wait on.
constexpr std::size_t receiveLimit = 16u << 20;

struct Message {
    std::uint32_t object = 0;
    std::uint32_t opcode = 0;
    std::string_view arguments;
};

// Requests: 32-bit words in the host's byte order; strings with their terminator,
// padded to a word.
struct Request {
    std::vector<char> bytes;

    Request(std::uint32_t object, std::uint32_t opcode) {
        word(object);
        word(opcode);
    }
    void word(std::uint32_t value) {
        const char* raw = reinterpret_cast<const char*>(&value);
        bytes.insert(bytes.end(), raw, raw + sizeof value);
    }
    void string(std::string_view text) {
        word(static_cast<std::uint32_t>(text.size() + 1));
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.resize((bytes.size() + 1 + 3) / 4 * 4, '\0');
    }
    // The size goes into the upper half of the second word.
    std::vector<char> finished() && {
        const auto size = static_cast<std::uint32_t>(bytes.size());
        std::uint32_t second = 0;
        std::memcpy(&second, bytes.data() + 4, sizeof second);
        second |= size << 16;
        std::memcpy(bytes.data() + 4, &second, sizeof second);
        return std::move(bytes);
    }
};

bool sendRequests(int socket, const std::vector<std::vector<char>>& requests) {
    std::vector<char> all;
    for (const std::vector<char>& request : requests) {
        all.insert(all.end(), request.begin(), request.end());
    }
    std::size_t sent = 0;
    while (sent < all.size()) {
        const ssize_t written = send(socket, all.data() + sent, all.size() - sent, MSG_NOSIGNAL);
        if (written <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(written);
    }
    return true;
}

// Reads a message's arguments in order; a read past the end leaves it failed.
struct Arguments {
    std::string_view rest;
    bool failed = false;

    std::uint32_t word() {
        std::uint32_t value = 0;
        if (rest.size() < sizeof value) {
            failed = true;
            return 0;
        }
        std::memcpy(&value, rest.data(), sizeof value);
        rest.remove_prefix(sizeof value);
        return value;
    }
    // An array's bytes; a string's too, its terminator left off.
    std::string_view bytes(bool isString) {
        const std::uint32_t size = word();
        const std::size_t padded = (static_cast<std::size_t>(size) + 3) / 4 * 4;
        if (failed || padded > rest.size()) {
            failed = true;
            return {};
        }
        std::string_view value = rest.substr(0, size);
        rest.remove_prefix(padded);
        if (isString && !value.empty()) {
            value.remove_suffix(1);
        }
        return value;
    }
};

// Receives events and hands each to handle, until the callback with id syncId is done.
template <class Handler> bool receiveUntilDone(int socket, std::uint32_t syncId, Handler handle) {
    std::vector<char> buffer;
    std::size_t used = 0;
    std::size_t received = 0;
    for (;;) {
        std::size_t start = 0;
        while (used - start >= 8) {
            std::uint32_t object = 0, second = 0;
            std::memcpy(&object, buffer.data() + start, 4);
            std::memcpy(&second, buffer.data() + start + 4, 4);
            const std::size_t size = second >> 16;
            if (size < 8 || size % 4 != 0) {
                return false;
            }
            if (used - start < size) {
                break;
            }
            const Message message{object, second & 0xFFFF,
                                  std::string_view(buffer.data() + start + 8, size - 8)};
            start += size;
            if (message.object == displayId && message.opcode == displayError) {
                return false;
            }
            if (message.object == syncId && message.opcode == callbackDone) {
                return true;
            }
            if (!handle(message)) {
                return false;
            }
        }
        // Consumed messages make room at the front; before the first read there is
        // nothing to move, and no storage to move it in.
        if (start > 0) {
            std::memmove(buffer.data(), buffer.data() + start, used - start);
            used -= start;
        }
        if (buffer.size() - used < 4096) {
            buffer.resize(used + 65536);
        }
        const ssize_t got = recv(socket, buffer.data() + used, buffer.size() - used, 0);
        received += got > 0 ? static_cast<std::size_t>(got) : 0;
        if (got <= 0 || received > receiveLimit) {
            return false;
        }
        used += static_cast<std::size_t>(got);
    }
}

struct Toplevel {
    std::string title;
    std::string appId;
    bool activated = false;
};

bool activated(std::string_view states) {
    for (std::size_t i = 0; i + 4 <= states.size(); i += 4) {
        std::uint32_t state = 0;
        std::memcpy(&state, states.data() + i, sizeof state);
        if (state == stateActivated) {
            return true;
        }
    }
    return false;
}

} // namespace

bool foreignToplevelFocusedWindow(int connection, std::optional<FocusedWindow>& window) {
    Request getRegistry(displayId, displayGetRegistry);
    getRegistry.word(registryId);
    Request sync(displayId, displaySync);
    sync.word(firstSyncId);
    if (!sendRequests(connection,
                      {std::move(getRegistry).finished(), std::move(sync).finished()})) {
        return false;
    }
    std::uint32_t managerName = 0;
    bool found = false;
    const bool listed = receiveUntilDone(connection, firstSyncId, [&](const Message& message) {
        if (message.object == registryId && message.opcode == registryGlobal) {
            Arguments arguments{message.arguments};
            const std::uint32_t name = arguments.word();
            const std::string_view interface = arguments.bytes(true);
            if (!arguments.failed && interface == managerInterface) {
                managerName = name;
                found = true;
            }
        }
        return true;
    });
    if (!listed || !found) {
        return false;
    }

    // Version 1 has all this needs. The manager lists every toplevel as it is bound.
    Request bind(registryId, registryBind);
    bind.word(managerName);
    bind.string(managerInterface);
    bind.word(1);
    bind.word(managerId);
    Request secondSync(displayId, displaySync);
    secondSync.word(secondSyncId);
    if (!sendRequests(connection, {std::move(bind).finished(), std::move(secondSync).finished()})) {
        return false;
    }
    std::map<std::uint32_t, Toplevel> toplevels;
    const bool described = receiveUntilDone(connection, secondSyncId, [&](const Message& message) {
        Arguments arguments{message.arguments};
        if (message.object == managerId) {
            if (message.opcode == managerToplevel) {
                toplevels[arguments.word()] = Toplevel();
            }
            return !arguments.failed;
        }
        const auto toplevel = toplevels.find(message.object);
        if (toplevel == toplevels.end()) {
            return true;
        }
        switch (message.opcode) {
        case toplevelTitle:
            toplevel->second.title = std::string(arguments.bytes(true));
            break;
        case toplevelAppId:
            toplevel->second.appId = std::string(arguments.bytes(true));
            break;
        case toplevelState:
            toplevel->second.activated = activated(arguments.bytes(false));
            break;
        case toplevelClosed:
            toplevels.erase(toplevel);
            break;
        default:
            break;
        }
        return !arguments.failed;
    });
    if (!described) {
        return false;
    }
    window.reset();
    for (const auto& [id, toplevel] : toplevels) {
        if (toplevel.activated) {
            window = FocusedWindow{widenUtf8(toplevel.title.data(), toplevel.title.size()), 0,
                                   toplevel.appId};
        }
    }
    return true;
}

} // namespace platform::desktop
