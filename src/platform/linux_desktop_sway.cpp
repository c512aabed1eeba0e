// Sway's IPC: one GET_TREE request, and the focused node of the tree it answers with.
// Its views, native and XWayland alike, carry their title ("name") and the pid of
// their client; a focused workspace or output is no window.
#include "platform/fd_linux.h"
#include "platform/linux_desktop.h"

#include <rapidjson/reader.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <vector>

namespace platform::desktop {
namespace {

constexpr std::string_view magic = "i3-ipc";
constexpr std::uint32_t getTree = 4;
// A tree is a few hundred bytes a window; anything near this is not sway talking.
constexpr std::uint32_t replyLimit = 64u << 20;
// Views sit a few levels below their output; a reply far deeper is not a tree of sway's.
constexpr int depthLimit = 256;

constexpr std::size_t headerBytes = magic.size() + 2 * sizeof(std::uint32_t);

using Clock = std::chrono::steady_clock;

// Waits until the socket is ready for EVENTS (or closed), false once the deadline passes.
bool waitFor(int socket, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd waiting{socket, events, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

bool writeAll(int socket, const char* bytes, std::size_t count, Clock::time_point deadline) {
    while (count > 0) {
        if (!waitFor(socket, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t written = send(socket, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written <= 0) {
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool readAll(int socket, char* bytes, std::size_t count, Clock::time_point deadline) {
    while (count > 0) {
        if (!waitFor(socket, POLLIN, deadline)) {
            return false;
        }
        const ssize_t got = recv(socket, bytes, count, MSG_DONTWAIT);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

// A connection to the socket, its connect bounded too: a sway too busy to accept
// leaves a full backlog, where connect would wait.
Fd connectWithin(const std::string& socketPath, std::uint64_t limitMs) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        return Fd();
    }
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const timeval limit{static_cast<time_t>(limitMs / 1000),
                        static_cast<suseconds_t>(limitMs % 1000 * 1000)};
    if (socket.fd < 0 ||
        setsockopt(socket.fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0 ||
        connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return Fd();
    }
    return Fd(socket.release());
}

// The header in the host's byte order, as sway reads and writes it.
std::array<char, headerBytes> header(std::uint32_t length, std::uint32_t type) {
    std::array<char, headerBytes> bytes{};
    std::memcpy(bytes.data(), magic.data(), magic.size());
    std::memcpy(bytes.data() + magic.size(), &length, sizeof length);
    std::memcpy(bytes.data() + magic.size() + sizeof length, &type, sizeof type);
    return bytes;
}

// The request and its whole answer within the bound of a compositor's answer, however
// sway trickles it.
bool askTree(const std::string& socketPath, std::vector<char>& reply) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(answerLimitMs);
    const Fd socket = connectWithin(socketPath, answerLimitMs);
    if (socket.fd < 0) {
        return false;
    }
    const auto request = header(0, getTree);
    std::array<char, headerBytes> answer{};
    if (!writeAll(socket.fd, request.data(), request.size(), deadline) ||
        !readAll(socket.fd, answer.data(), answer.size(), deadline) ||
        std::string_view(answer.data(), magic.size()) != magic) {
        return false;
    }
    std::uint32_t length = 0;
    std::uint32_t type = 0;
    std::memcpy(&length, answer.data() + magic.size(), sizeof length);
    std::memcpy(&type, answer.data() + magic.size() + sizeof length, sizeof type);
    if (type != getTree || length > replyLimit) {
        return false;
    }
    reply.resize(length + 1);
    reply[length] = '\0';
    return readAll(socket.fd, reply.data(), length, deadline);
}

// What a node of the tree says of itself. The strings point into the reply, which
// is parsed in place.
struct Node {
    bool focused = false;
    bool hasPid = false; // a view: a workspace, an output or a split container has none
    std::uint32_t pid = 0;
    std::string_view type;
    std::string_view name;
    std::string_view appId;
    std::string_view windowClass; // an XWayland window's, in "window_properties"
};

// Reads the tree as it is parsed, keeping of each object only the members that matter,
// and the focused node once its object ends: no tree is built, a run costs less.
struct TreeReader : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TreeReader> {
    struct Open {
        Node node;
        std::string_view keyInParent;
    };
    std::vector<Open> open;
    std::string_view key; // the member whose value comes next
    bool rootIsObject = false;
    std::optional<Node> focused;

    bool StartObject() {
        rootIsObject = rootIsObject || open.empty();
        open.push_back({Node(), key});
        return open.size() <= depthLimit;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        key = std::string_view(text, length);
        return true;
    }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        const std::string_view value(text, length);
        Node& node = open.back().node;
        if (key == "type") {
            node.type = value;
        } else if (key == "name") {
            node.name = value;
        } else if (key == "app_id") {
            node.appId = value;
        } else if (key == "class" && open.size() >= 2 &&
                   open.back().keyInParent == "window_properties") {
            open[open.size() - 2].node.windowClass = value;
        }
        return true;
    }
    bool Bool(bool value) {
        if (key == "focused" && !open.empty()) {
            open.back().node.focused = value;
        }
        return true;
    }
    bool Uint(unsigned value) { return pid(value); }
    bool Int(int value) { return pid(value > 0 ? static_cast<unsigned>(value) : 0); }
    bool pid(unsigned value) {
        if (key == "pid" && !open.empty()) {
            open.back().node.hasPid = true;
            open.back().node.pid = value;
        }
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        if (open.back().node.focused && !focused) {
            focused = open.back().node;
        }
        open.pop_back();
        return true;
    }
};

// A view is a container that shows a client's surface, tiled or floating.
std::optional<FocusedWindow> viewOf(const Node& node) {
    if (!node.hasPid || (node.type != "con" && node.type != "floating_con")) {
        return std::nullopt;
    }
    FocusedWindow window;
    window.title = widenUtf8(node.name.data(), node.name.size());
    window.pid = node.pid;
    window.appId = std::string(node.appId.empty() ? node.windowClass : node.appId);
    return window;
}

} // namespace

bool swayFocusedWindow(const std::string& socketPath, std::optional<FocusedWindow>& window) {
    std::vector<char> reply;
    if (!askTree(socketPath, reply)) {
        return false;
    }
    TreeReader tree;
    rapidjson::InsituStringStream stream(reply.data());
    rapidjson::Reader reader;
    if (reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseIterativeFlag>(stream, tree)
            .IsError() ||
        !tree.rootIsObject) {
        return false;
    }
    window = tree.focused ? viewOf(*tree.focused) : std::nullopt;
    return true;
}

} // namespace platform::desktop
