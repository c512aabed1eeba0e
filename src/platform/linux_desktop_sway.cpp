// Sway's IPC: one GET_TREE request, and the focused node of the tree it answers with.
// Its views, native and XWayland alike, carry their title ("name") and the pid of
// their client; a focused workspace or output is no window.
#include "platform/fd_linux.h"
#include "platform/linux_desktop.h"

#include <rapidjson/document.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <array>
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

bool writeAll(int socket, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = send(socket, bytes, count, MSG_NOSIGNAL);
        if (written <= 0) {
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool readAll(int socket, char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t got = recv(socket, bytes, count, 0);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

// The header in the host's byte order, as sway reads and writes it.
std::array<char, headerBytes> header(std::uint32_t length, std::uint32_t type) {
    std::array<char, headerBytes> bytes{};
    std::memcpy(bytes.data(), magic.data(), magic.size());
    std::memcpy(bytes.data() + magic.size(), &length, sizeof length);
    std::memcpy(bytes.data() + magic.size() + sizeof length, &type, sizeof type);
    return bytes;
}

bool askTree(const std::string& socketPath, std::vector<char>& reply) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    const Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd < 0 ||
        connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    const auto request = header(0, getTree);
    std::array<char, headerBytes> answer{};
    if (!writeAll(socket.fd, request.data(), request.size()) ||
        !readAll(socket.fd, answer.data(), answer.size()) ||
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
    return readAll(socket.fd, reply.data(), length);
}

const rapidjson::Value* member(const rapidjson::Value& node, const char* name) {
    if (!node.IsObject()) {
        return nullptr;
    }
    const auto found = node.FindMember(name);
    return found != node.MemberEnd() ? &found->value : nullptr;
}

std::string_view text(const rapidjson::Value* value) {
    return value != nullptr && value->IsString()
               ? std::string_view(value->GetString(), value->GetStringLength())
               : std::string_view();
}

// The node with "focused": true, depth first through tiled and floating children.
const rapidjson::Value* focusedNode(const rapidjson::Value& node, int depth) {
    if (depth > depthLimit || !node.IsObject()) {
        return nullptr;
    }
    const rapidjson::Value* focused = member(node, "focused");
    if (focused != nullptr && focused->IsBool() && focused->GetBool()) {
        return &node;
    }
    for (const char* list : {"nodes", "floating_nodes"}) {
        const rapidjson::Value* children = member(node, list);
        if (children == nullptr || !children->IsArray()) {
            continue;
        }
        for (const rapidjson::Value& child : children->GetArray()) {
            if (const rapidjson::Value* found = focusedNode(child, depth + 1)) {
                return found;
            }
        }
    }
    return nullptr;
}

// A view is a container that shows a client's surface: sway gives it a pid, which a
// workspace, an output or a split container lacks.
std::optional<FocusedWindow> viewOf(const rapidjson::Value& node) {
    const rapidjson::Value* pid = member(node, "pid");
    const std::string_view type = text(member(node, "type"));
    if (pid == nullptr || (type != "con" && type != "floating_con")) {
        return std::nullopt;
    }
    FocusedWindow window;
    const std::string_view title = text(member(node, "name"));
    window.title = widenUtf8(title.data(), title.size());
    window.pid = pid->IsUint() ? pid->GetUint() : 0;
    std::string_view appId = text(member(node, "app_id"));
    if (appId.empty()) {
        if (const rapidjson::Value* properties = member(node, "window_properties")) {
            appId = text(member(*properties, "class"));
        }
    }
    window.appId = std::string(appId);
    return window;
}

} // namespace

bool swayFocusedWindow(const std::string& socketPath, std::optional<FocusedWindow>& window) {
    std::vector<char> reply;
    if (!askTree(socketPath, reply)) {
        return false;
    }
    rapidjson::Document tree;
    tree.ParseInsitu<rapidjson::kParseIterativeFlag>(reply.data());
    if (tree.HasParseError() || !tree.IsObject()) {
        return false;
    }
    const rapidjson::Value* focused = focusedNode(tree, 0);
    window = focused != nullptr ? viewOf(*focused) : std::nullopt;
    return true;
}

} // namespace platform::desktop
