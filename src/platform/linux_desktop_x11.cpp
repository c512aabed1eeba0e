// The Linux desktop through Xlib: the X server that DISPLAY names. A window handle is
// an X window id. The connection is opened by the first window query and kept for the
// rest of the run; X errors only make the query at hand come back empty.
#include "platform/platform.h"
#include "platform/text_codec.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
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

// Interned only if they exist: an atom no client has created is on no window.
char* atomNames[atomCount] = {
    const_cast<char*>("_NET_ACTIVE_WINDOW"), const_cast<char*>("_NET_WM_NAME"),
    const_cast<char*>("_NET_WM_PID"),        const_cast<char*>("UTF8_STRING"),
    const_cast<char*>("COMPOUND_TEXT"),      const_cast<char*>("WM_STATE")};

// Enough bytes for any 1023-unit title in UTF-8, and a bound on what a client can make
// us read.
constexpr long titlePropertyLongs = 1024;
constexpr long hostPropertyLongs = 64;

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}
int ignoreIoError(Display*) {
    return 0;
}

struct Connection {
    Display* display = nullptr;
    Window root = None;
    std::array<Atom, atomCount> atoms{};
    bool lost = false;

    Connection() {
        display = XOpenDisplay(nullptr);
        if (display == nullptr) {
            return;
        }
        // A window may vanish between two queries, and the server itself may go: the
        // default handlers would end the process without a line.
        XSetErrorHandler(ignoreError);
        XSetIOErrorHandler(ignoreIoError);
        XSetIOErrorExitHandler(display, markLost, this);
        root = DefaultRootWindow(display);
        // The status is 0 when an atom doesn't exist yet; that one is None.
        XInternAtoms(display, atomNames, atomCount, True, atoms.data());
    }
    ~Connection() {
        if (display != nullptr && !lost) {
            XCloseDisplay(display);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool usable() const { return display != nullptr && !lost; }
    Atom atom(AtomIndex index) const { return atoms[static_cast<std::size_t>(index)]; }

    static void markLost(Display*, void* self) { static_cast<Connection*>(self)->lost = true; }
};

Connection& connection() {
    static Connection instance;
    return instance;
}

struct XFreeDeleter {
    void operator()(unsigned char* data) const { XFree(data); }
};

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    std::unique_ptr<unsigned char, XFreeDeleter> data;

    bool is(Atom wantedType, int wantedFormat) const {
        return data != nullptr && type != None && type == wantedType && format == wantedFormat;
    }
    // The first item of a 32-bit property, which Xlib hands out as a long.
    unsigned long first32() const {
        unsigned long value = 0;
        if (format == 32 && items > 0) {
            std::memcpy(&value, data.get(), sizeof value);
        }
        return value;
    }
};

Property readProperty(const Connection& c, Window window, Atom name, long maxLongs) {
    Property property;
    if (name == None || !c.usable()) {
        return property;
    }
    unsigned long bytesAfter = 0;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(c.display, window, name, 0, maxLongs, False, AnyPropertyType,
                           &property.type, &property.format, &property.items, &bytesAfter, &data);
    property.data.reset(data);
    if (status != Success) {
        property.data.reset();
        property.type = None;
    }
    return property;
}

Window parentOf(const Connection& c, Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(c.display, window, &root, &parent, &children, &count) == 0) {
        return None;
    }
    if (children != nullptr) {
        XFree(children);
    }
    return parent;
}

// Without a window manager that names the active window: the top-level window that
// holds the input focus. That is the nearest window with WM_STATE, the client window
// of the ICCCM, or else the child of the root it lies in.
Window focusedTopLevel(const Connection& c) {
    Window window = None;
    int revertTo = 0;
    XGetInputFocus(c.display, &window, &revertTo);
    if (window == None || window == PointerRoot || window == c.root) {
        return None;
    }
    while (c.usable()) {
        if (readProperty(c, window, c.atom(wmState), 1).type != None) {
            return window;
        }
        const Window parent = parentOf(c, window);
        if (parent == None) {
            return None;
        }
        if (parent == c.root) {
            return window;
        }
        window = parent;
    }
    return None;
}

std::vector<wchar_t> widenUtf8(const char* text, std::size_t bytes) {
    std::vector<wchar_t> units;
    if (bytes == 0) {
        return units;
    }
    // Each byte gives at most one unit, a four-byte sequence two.
    units.resize(bytes);
    const int count = codec::wideFromUtf8(text, static_cast<int>(bytes), units.data(),
                                          static_cast<int>(units.size()));
    units.resize(static_cast<std::size_t>(count));
    return units;
}

// STRING is Latin-1: every byte is the unit of the same value.
std::vector<wchar_t> widenLatin1(const unsigned char* text, std::size_t bytes) {
    return std::vector<wchar_t>(text, text + bytes);
}

std::vector<wchar_t> widenCompoundText(const Connection& c, const Property& property) {
    XTextProperty text{property.data.get(), property.type, property.format, property.items};
    char** list = nullptr;
    int count = 0;
    std::vector<wchar_t> units;
    if (Xutf8TextPropertyToTextList(c.display, &text, &list, &count) >= Success && list) {
        if (count > 0 && list[0] != nullptr) {
            units = widenUtf8(list[0], std::strlen(list[0]));
        }
        XFreeStringList(list);
    }
    return units;
}

// _NET_WM_NAME when the client sets it, else WM_NAME in the type it was given.
std::vector<wchar_t> windowTitle(const Connection& c, Window window) {
    const Atom utf8 = c.atom(utf8String);
    const Property netName = readProperty(c, window, c.atom(netWmName), titlePropertyLongs);
    if (utf8 != None && netName.is(utf8, 8)) {
        return widenUtf8(reinterpret_cast<const char*>(netName.data.get()), netName.items);
    }
    const Property name = readProperty(c, window, XA_WM_NAME, titlePropertyLongs);
    if (name.is(XA_STRING, 8)) {
        return widenLatin1(name.data.get(), name.items);
    }
    if (utf8 != None && name.is(utf8, 8)) {
        return widenUtf8(reinterpret_cast<const char*>(name.data.get()), name.items);
    }
    if (c.atom(compoundText) != None && name.is(c.atom(compoundText), 8)) {
        return widenCompoundText(c, name);
    }
    return {};
}

// A pid means something here only for a client of this machine: one that names
// another host in WM_CLIENT_MACHINE runs elsewhere, and the pid is not ours.
bool runsOnThisHost(const Connection& c, Window window) {
    const Property machine = readProperty(c, window, XA_WM_CLIENT_MACHINE, hostPropertyLongs);
    if (!machine.is(XA_STRING, 8)) {
        return true;
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) {
        return true;
    }
    const std::string client(reinterpret_cast<const char*>(machine.data.get()), machine.items);
    return client == host;
}

} // namespace

WindowHandle getForegroundWindow() {
    const Connection& c = connection();
    if (!c.usable()) {
        return 0;
    }
    const Property active = readProperty(c, c.root, c.atom(netActiveWindow), 1);
    if (active.is(XA_WINDOW, 32) && active.first32() != None) {
        return active.first32();
    }
    return focusedTopLevel(c);
}

int getWindowTextW(WindowHandle window, wchar_t* buffer, int limit) {
    if (buffer == nullptr || limit <= 0) {
        return 0;
    }
    buffer[0] = L'\0';
    const Connection& c = connection();
    if (window == 0 || !c.usable()) {
        return 0;
    }
    const std::vector<wchar_t> title = windowTitle(c, window);
    const std::size_t count = std::min(title.size(), static_cast<std::size_t>(limit) - 1);
    std::copy_n(title.begin(), count, buffer);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

// There is no owner thread to report; the main thread's id is the pid on Linux.
std::uint32_t getWindowThreadProcessId(WindowHandle window, std::uint32_t* pid) {
    const Connection& c = connection();
    if (window == 0 || !c.usable()) {
        return 0;
    }
    const Property property = readProperty(c, window, c.atom(netWmPid), 1);
    if (!property.is(XA_CARDINAL, 32)) {
        return 0;
    }
    const auto owner = static_cast<std::uint32_t>(property.first32());
    if (owner == 0 || !runsOnThisHost(c, window)) {
        return 0;
    }
    if (pid != nullptr) {
        *pid = owner;
    }
    return owner;
}

} // namespace platform
