// The Linux desktop through libxcb: the X server that DISPLAY names. A window handle is
// an X window id. The connection is opened by the first window query and kept for the
// rest of the run; an X error only makes the query at hand come back empty. xcb rather
// than Xlib because the sampler runs every few seconds: it is far cheaper to load and
// to connect, and it lets the queries of one call share one round trip.
#include "platform/dl_symbol_linux.h"
#include "platform/linux_compound_text.h"
#include "platform/linux_desktop.h"
#include "platform/platform.h"
#include "platform/text_codec.h"

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace platform {
namespace {

enum AtomIndex {
    netActiveWindow,
    netWmName,
    netWmPid,
    utf8String,
    compoundText,
    wmState,
    atomCount
};

constexpr std::array<std::string_view, atomCount> atomNames = {"_NET_ACTIVE_WINDOW", "_NET_WM_NAME",
                                                               "_NET_WM_PID",        "UTF8_STRING",
                                                               "COMPOUND_TEXT",      "WM_STATE"};

// Enough bytes for any 1023-unit title in UTF-8, and a bound on what a client can make
// us read; both in 32-bit units, as the request counts them.
constexpr std::uint32_t titlePropertyLongs = 1024;
constexpr std::uint32_t hostPropertyLongs = 64;

// How far below a frame the client window is looked for, and how many windows at most.
constexpr int clientSearchDepth = 8;
constexpr int clientSearchWindows = 512;

// libxcb and its X-Resource library, loaded by the first X11 query: a run on Wayland,
// or with no desktop, never pays for loading them (and the libraries they need).
struct Xcb {
    decltype(&xcb_connect) connect = nullptr;
    decltype(&xcb_connection_has_error) connectionHasError = nullptr;
    decltype(&xcb_disconnect) disconnect = nullptr;
    decltype(&xcb_get_extension_data) getExtensionData = nullptr;
    decltype(&xcb_get_input_focus) getInputFocus = nullptr;
    decltype(&xcb_get_input_focus_reply) getInputFocusReply = nullptr;
    decltype(&xcb_get_property) getProperty = nullptr;
    decltype(&xcb_get_property_reply) getPropertyReply = nullptr;
    decltype(&xcb_get_property_value) getPropertyValue = nullptr;
    decltype(&xcb_get_property_value_length) getPropertyValueLength = nullptr;
    decltype(&xcb_get_setup) getSetup = nullptr;
    decltype(&xcb_intern_atom) internAtom = nullptr;
    decltype(&xcb_intern_atom_reply) internAtomReply = nullptr;
    decltype(&xcb_prefetch_extension_data) prefetchExtensionData = nullptr;
    decltype(&xcb_query_tree) queryTree = nullptr;
    decltype(&xcb_query_tree_children) queryTreeChildren = nullptr;
    decltype(&xcb_query_tree_children_length) queryTreeChildrenLength = nullptr;
    decltype(&xcb_query_tree_reply) queryTreeReply = nullptr;
    decltype(&xcb_res_client_id_value_next) resClientIdValueNext = nullptr;
    decltype(&xcb_res_client_id_value_value) resClientIdValueValue = nullptr;
    decltype(&xcb_res_client_id_value_value_length) resClientIdValueValueLength = nullptr;
    decltype(&xcb_res_query_client_ids) resQueryClientIds = nullptr;
    decltype(&xcb_res_query_client_ids_ids_iterator) resQueryClientIdsIdsIterator = nullptr;
    decltype(&xcb_res_query_client_ids_reply) resQueryClientIdsReply = nullptr;
    decltype(&xcb_screen_next) screenNext = nullptr;
    decltype(&xcb_setup_roots_iterator) setupRootsIterator = nullptr;
    xcb_extension_t* resId = nullptr;

    // Never unloaded: the connection is kept for the rest of the run, which ends
    // right after the line.
    Xcb() {
        void* xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
        void* res = xcb != nullptr ? dlopen("libxcb-res.so.0", RTLD_LAZY | RTLD_LOCAL) : nullptr;
        take(xcb, "xcb_connect", connect);
        take(xcb, "xcb_connection_has_error", connectionHasError);
        take(xcb, "xcb_disconnect", disconnect);
        take(xcb, "xcb_get_extension_data", getExtensionData);
        take(xcb, "xcb_get_input_focus", getInputFocus);
        take(xcb, "xcb_get_input_focus_reply", getInputFocusReply);
        take(xcb, "xcb_get_property", getProperty);
        take(xcb, "xcb_get_property_reply", getPropertyReply);
        take(xcb, "xcb_get_property_value", getPropertyValue);
        take(xcb, "xcb_get_property_value_length", getPropertyValueLength);
        take(xcb, "xcb_get_setup", getSetup);
        take(xcb, "xcb_intern_atom", internAtom);
        take(xcb, "xcb_intern_atom_reply", internAtomReply);
        take(xcb, "xcb_prefetch_extension_data", prefetchExtensionData);
        take(xcb, "xcb_query_tree", queryTree);
        take(xcb, "xcb_query_tree_children", queryTreeChildren);
        take(xcb, "xcb_query_tree_children_length", queryTreeChildrenLength);
        take(xcb, "xcb_query_tree_reply", queryTreeReply);
        take(res, "xcb_res_client_id_value_next", resClientIdValueNext);
        take(res, "xcb_res_client_id_value_value", resClientIdValueValue);
        take(res, "xcb_res_client_id_value_value_length", resClientIdValueValueLength);
        take(res, "xcb_res_query_client_ids", resQueryClientIds);
        take(res, "xcb_res_query_client_ids_ids_iterator", resQueryClientIdsIdsIterator);
        take(res, "xcb_res_query_client_ids_reply", resQueryClientIdsReply);
        take(xcb, "xcb_screen_next", screenNext);
        take(xcb, "xcb_setup_roots_iterator", setupRootsIterator);
        if (res != nullptr) {
            resId = static_cast<xcb_extension_t*>(dlsym(res, "xcb_res_id"));
        }
    }
    bool usable() const { return complete && resId != nullptr; }

  private:
    bool complete = true;
    template <class Function> void take(void* library, const char* name, Function*& function) {
        bindSymbol(library, name, function);
        complete = complete && function != nullptr;
    }
};

const Xcb& lib() {
    static const Xcb instance;
    return instance;
}

struct FreeDeleter {
    void operator()(void* data) const { std::free(data); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter>;

struct Connection {
    xcb_connection_t* link = nullptr;
    xcb_window_t root = XCB_NONE;
    std::array<xcb_atom_t, atomCount> atoms{};
    bool resources = false; // the server has the X-Resource extension

    Connection() {
        // Without DISPLAY there is no server to connect to: libxcb isn't even loaded.
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || display[0] == '\0' || !lib().usable()) {
            return;
        }
        int screenNumber = 0;
        link = lib().connect(nullptr, &screenNumber);
        if (lib().connectionHasError(link) != 0) {
            return;
        }
        xcb_screen_iterator_t screens = lib().setupRootsIterator(lib().getSetup(link));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
            lib().screenNext(&screens);
        }
        if (screens.rem == 0) {
            return;
        }
        root = screens.data->root;
        // All asked at once, then answered: one round trip. An atom no client has
        // created yet is None, and on no window.
        lib().prefetchExtensionData(link, lib().resId);
        std::array<xcb_intern_atom_cookie_t, atomCount> cookies{};
        for (std::size_t i = 0; i < atomCount; ++i) {
            cookies[i] = lib().internAtom(link, 1, static_cast<std::uint16_t>(atomNames[i].size()),
                                          atomNames[i].data());
        }
        for (std::size_t i = 0; i < atomCount; ++i) {
            const Reply<xcb_intern_atom_reply_t> reply(
                lib().internAtomReply(link, cookies[i], nullptr));
            atoms[i] = reply != nullptr ? reply->atom : XCB_NONE;
        }
        const xcb_query_extension_reply_t* extension = lib().getExtensionData(link, lib().resId);
        resources = extension != nullptr && extension->present != 0;
    }
    ~Connection() {
        // Also frees the object that a failed connect hands out.
        if (link != nullptr) {
            lib().disconnect(link);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool usable() const {
        return link != nullptr && lib().connectionHasError(link) == 0 && root != XCB_NONE;
    }
    xcb_atom_t atom(AtomIndex index) const { return atoms[static_cast<std::size_t>(index)]; }
};

Connection& connection() {
    static Connection instance;
    return instance;
}

// A property as the server gave it; empty when the window or the property is missing.
struct Property {
    Reply<xcb_get_property_reply_t> reply;

    bool is(xcb_atom_t type, std::uint8_t format) const {
        return reply != nullptr && type != XCB_NONE && reply->type == type &&
               reply->format == format;
    }
    bool exists() const { return reply != nullptr && reply->type != XCB_NONE; }
    const unsigned char* bytes() const {
        return static_cast<const unsigned char*>(lib().getPropertyValue(reply.get()));
    }
    std::size_t size() const {
        return static_cast<std::size_t>(lib().getPropertyValueLength(reply.get()));
    }
    std::uint32_t first32() const {
        std::uint32_t value = 0;
        if (reply != nullptr && reply->format == 32 && size() >= sizeof value) {
            std::memcpy(&value, bytes(), sizeof value);
        }
        return value;
    }
};

// A request sent, its answer taken later, so that several can share a round trip.
struct PendingProperty {
    xcb_get_property_cookie_t cookie{};
    bool sent = false;
};

PendingProperty askProperty(const Connection& c, xcb_window_t window, xcb_atom_t name,
                            std::uint32_t maxLongs) {
    if (name == XCB_NONE || !c.usable()) {
        return {};
    }
    return {lib().getProperty(c.link, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, maxLongs),
            true};
}

Property takeProperty(const Connection& c, PendingProperty pending) {
    Property property;
    if (!pending.sent) {
        return property;
    }
    xcb_generic_error_t* error = nullptr;
    property.reply.reset(lib().getPropertyReply(c.link, pending.cookie, &error));
    std::free(error);
    return property;
}

Property readProperty(const Connection& c, xcb_window_t window, xcb_atom_t name,
                      std::uint32_t maxLongs) {
    return takeProperty(c, askProperty(c, window, name, maxLongs));
}

Reply<xcb_query_tree_reply_t> queryTree(const Connection& c, xcb_window_t window) {
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_query_tree_reply_t> tree(
        lib().queryTreeReply(c.link, lib().queryTree(c.link, window), &error));
    std::free(error);
    return tree;
}

// Below a window manager's frame: the first window, depth first, that has WM_STATE, the
// client window of the ICCCM. Each level's children are asked at once.
xcb_window_t clientBelow(const Connection& c, xcb_window_t window, int depth, int& budget) {
    if (depth == 0 || budget <= 0 || !c.usable()) {
        return XCB_NONE;
    }
    const Reply<xcb_query_tree_reply_t> tree = queryTree(c, window);
    if (tree == nullptr) {
        return XCB_NONE;
    }
    const xcb_window_t* children = lib().queryTreeChildren(tree.get());
    const int count = std::min(lib().queryTreeChildrenLength(tree.get()), budget);
    budget -= count;
    std::vector<PendingProperty> states;
    for (int i = 0; i < count; ++i) {
        states.push_back(askProperty(c, children[i], c.atom(wmState), 1));
    }
    std::vector<bool> hasState;
    for (const PendingProperty& state : states) {
        hasState.push_back(takeProperty(c, state).exists());
    }
    for (int i = 0; i < count; ++i) {
        if (hasState[static_cast<std::size_t>(i)]) {
            return children[i];
        }
        const xcb_window_t below = clientBelow(c, children[i], depth - 1, budget);
        if (below != XCB_NONE) {
            return below;
        }
    }
    return XCB_NONE;
}

bool hasWmState(const Connection& c, xcb_window_t window) {
    return readProperty(c, window, c.atom(wmState), 1).exists();
}

// The client window for a top-level one: itself when it has WM_STATE or nothing below
// it has, else the client inside it.
xcb_window_t clientWindow(const Connection& c, xcb_window_t window) {
    if (c.atom(wmState) == XCB_NONE || hasWmState(c, window)) {
        return window;
    }
    int budget = clientSearchWindows;
    const xcb_window_t client = clientBelow(c, window, clientSearchDepth, budget);
    return client != XCB_NONE ? client : window;
}

// Without a window manager that names the active window: the top-level window that
// holds the input focus. That is the nearest window with WM_STATE, or else the client
// inside the child of the root that the focus lies in.
xcb_window_t focusedTopLevel(const Connection& c) {
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_get_input_focus_reply_t> focus(
        lib().getInputFocusReply(c.link, lib().getInputFocus(c.link), &error));
    std::free(error);
    if (focus == nullptr) {
        return XCB_NONE;
    }
    xcb_window_t window = focus->focus;
    if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT || window == c.root) {
        return XCB_NONE;
    }
    while (c.usable()) {
        if (c.atom(wmState) != XCB_NONE && hasWmState(c, window)) {
            return window;
        }
        const Reply<xcb_query_tree_reply_t> tree = queryTree(c, window);
        if (tree == nullptr || tree->parent == XCB_NONE) {
            return XCB_NONE;
        }
        if (tree->parent == c.root) {
            return clientWindow(c, window);
        }
        window = tree->parent;
    }
    return XCB_NONE;
}

std::vector<wchar_t> widenUtf8(const unsigned char* text, std::size_t bytes) {
    std::vector<wchar_t> units;
    if (bytes == 0) {
        return units;
    }
    // Each byte gives at most one unit, a four-byte sequence two.
    units.resize(bytes);
    const int count =
        codec::wideFromUtf8(reinterpret_cast<const char*>(text), static_cast<int>(bytes),
                            units.data(), static_cast<int>(units.size()));
    units.resize(static_cast<std::size_t>(count));
    return units;
}

// STRING is Latin-1: every byte is the unit of the same value.
std::vector<wchar_t> widenLatin1(const unsigned char* text, std::size_t bytes) {
    return std::vector<wchar_t>(text, text + bytes);
}

// _NET_WM_NAME when the client sets it, else WM_NAME in the type it was given. Both
// are asked at once.
std::vector<wchar_t> windowTitle(const Connection& c, xcb_window_t window) {
    const PendingProperty askedNetName =
        askProperty(c, window, c.atom(netWmName), titlePropertyLongs);
    const PendingProperty askedName = askProperty(c, window, XCB_ATOM_WM_NAME, titlePropertyLongs);
    const Property netName = takeProperty(c, askedNetName);
    const Property name = takeProperty(c, askedName);
    const xcb_atom_t utf8 = c.atom(utf8String);
    if (netName.is(utf8, 8)) {
        return widenUtf8(netName.bytes(), netName.size());
    }
    if (name.is(XCB_ATOM_STRING, 8)) {
        return widenLatin1(name.bytes(), name.size());
    }
    if (name.is(utf8, 8)) {
        return widenUtf8(name.bytes(), name.size());
    }
    if (name.is(c.atom(compoundText), 8)) {
        const std::vector<char> text = utf8FromCompoundText(name.bytes(), name.size());
        return widenUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    }
    return {};
}

// A pid means something here only for a client of this machine: one that names
// another host in WM_CLIENT_MACHINE runs elsewhere, and the pid is not ours. Without
// the property the client is taken to be local.
bool runsOnThisHost(const Property& machine) {
    if (!machine.is(XCB_ATOM_STRING, 8)) {
        return true;
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) {
        return true;
    }
    return std::string_view(reinterpret_cast<const char*>(machine.bytes()), machine.size()) == host;
}

// The pid the server knows for the client that made the window (through its local
// socket), unlike _NET_WM_PID, which a client in a container or sandbox gives from its
// own pid namespace. 0 when the server doesn't know it.
std::uint32_t serverKnownPid(const xcb_res_query_client_ids_reply_t* answer) {
    if (answer == nullptr) {
        return 0;
    }
    for (xcb_res_client_id_value_iterator_t id = lib().resQueryClientIdsIdsIterator(answer);
         id.rem > 0; lib().resClientIdValueNext(&id)) {
        // Each value is the kind of id the server gave (which client, what mask), then
        // its length.
        const auto& [kind, length] = *id.data;
        if ((kind.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
            lib().resClientIdValueValueLength(id.data) == 1) {
            return *lib().resClientIdValueValue(id.data);
        }
    }
    return 0;
}

} // namespace

namespace desktop {

WindowHandle x11ForegroundWindow() {
    const Connection& c = connection();
    if (!c.usable()) {
        return 0;
    }
    const Property active = readProperty(c, c.root, c.atom(netActiveWindow), 1);
    if (active.is(XCB_ATOM_WINDOW, 32) && active.first32() != XCB_NONE) {
        // The window named may be gone, and its id already in the range of a new
        // client (this one, even), which the server would then name as its owner.
        if (queryTree(c, active.first32()) == nullptr) {
            return 0;
        }
        return clientWindow(c, active.first32());
    }
    return focusedTopLevel(c);
}

int x11WindowText(WindowHandle window, wchar_t* buffer, int limit) {
    if (buffer == nullptr || limit <= 0) {
        return 0;
    }
    buffer[0] = L'\0';
    const Connection& c = connection();
    if (window == 0 || !c.usable()) {
        return 0;
    }
    const std::vector<wchar_t> title = windowTitle(c, static_cast<xcb_window_t>(window));
    const std::size_t count = std::min(title.size(), static_cast<std::size_t>(limit) - 1);
    std::copy_n(title.begin(), count, buffer);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

// There is no owner thread to report; the main thread's id is the pid on Linux. The
// server's answer comes first, _NET_WM_PID only when it has none.
std::uint32_t x11WindowProcessId(WindowHandle window, std::uint32_t* pid) {
    const Connection& c = connection();
    if (window == 0 || !c.usable()) {
        return 0;
    }
    const auto id = static_cast<xcb_window_t>(window);
    const PendingProperty askedMachine =
        askProperty(c, id, XCB_ATOM_WM_CLIENT_MACHINE, hostPropertyLongs);
    const PendingProperty askedPid = askProperty(c, id, c.atom(netWmPid), 1);
    // A server with an older X-Resource answers with an error: no pid from it.
    xcb_res_query_client_ids_cookie_t askedServer{};
    if (c.resources) {
        const xcb_res_client_id_spec_t wanted{id, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        askedServer = lib().resQueryClientIds(c.link, 1, &wanted);
    }
    const Property machine = takeProperty(c, askedMachine);
    const Property netPid = takeProperty(c, askedPid);
    Reply<xcb_res_query_client_ids_reply_t> serverAnswer;
    if (c.resources) {
        xcb_generic_error_t* error = nullptr;
        serverAnswer.reset(lib().resQueryClientIdsReply(c.link, askedServer, &error));
        std::free(error);
    }
    if (!runsOnThisHost(machine)) {
        return 0;
    }
    std::uint32_t owner = serverKnownPid(serverAnswer.get());
    if (owner == 0 && netPid.is(XCB_ATOM_CARDINAL, 32)) {
        owner = netPid.first32();
    }
    if (owner == 0) {
        return 0;
    }
    if (pid != nullptr) {
        *pid = owner;
    }
    return owner;
}

} // namespace desktop
} // namespace platform
