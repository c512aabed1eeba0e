// A test-only X client: one top-level window with the properties a test asks for,
// made the active window. It prints "ready" once the server has it all, then holds
// the window until its standard input closes.
//
//   test_window [--title=UTF8] [--wm-name=BYTES [--compound-text]]
//               [--pid=N | --no-pid] [--machine=HOST | --no-machine]
//               [--focus-only | --active-none] [--frame]
//
// --title sets _NET_WM_NAME, --wm-name sets WM_NAME (STRING, or COMPOUND_TEXT). The pid defaults to
// this process's own, WM_CLIENT_MACHINE to this host. --focus-only leaves the root without
// _NET_ACTIVE_WINDOW and gives the window the input focus instead; --active-none sets
// _NET_ACTIVE_WINDOW to None and gives the focus. --frame reparents the window into a
// frame, as a window manager does: the window gets WM_STATE, the frame a title "frame"
// and _NET_WM_PID 1, and the frame is what the root or the focus names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

struct Options {
    bool hasTitle = false;
    std::string title;
    bool hasWmName = false;
    std::string wmName;
    bool compoundText = false;
    bool hasPid = true;
    unsigned long pid = static_cast<unsigned long>(getpid());
    std::string machine;
    bool focusOnly = false;
    bool activeNone = false;
    bool frame = false;
};

bool parse(int argc, char** argv, Options& options) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    options.machine = host;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string_view key, std::string& out) {
            if (arg.substr(0, key.size()) != key) {
                return false;
            }
            out = std::string(arg.substr(key.size()));
            return true;
        };
        std::string pid;
        if (value("--title=", options.title)) {
            options.hasTitle = true;
        } else if (value("--wm-name=", options.wmName)) {
            options.hasWmName = true;
        } else if (value("--pid=", pid)) {
            options.pid = std::stoul(pid);
        } else if (arg == "--no-pid") {
            options.hasPid = false;
        } else if (value("--machine=", options.machine)) {
        } else if (arg == "--compound-text") {
            options.compoundText = true;
        } else if (arg == "--no-machine") {
            options.machine.clear();
        } else if (arg == "--focus-only") {
            options.focusOnly = true;
        } else if (arg == "--active-none") {
            options.activeNone = true;
        } else if (arg == "--frame") {
            options.frame = true;
        } else {
            std::fprintf(stderr, "test_window: unknown option %s\n", argv[i]);
            return false;
        }
    }
    return true;
}

void setText(Display* display, Window window, Atom property, Atom type, const std::string& text) {
    XChangeProperty(display, window, property, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
}

void setValue32(Display* display, Window window, Atom property, Atom type, unsigned long value) {
    const long item = static_cast<long>(value);
    XChangeProperty(display, window, property, type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&item), 1);
}

void waitForMap(Display* display, Window window) {
    XEvent event;
    do {
        XWindowEvent(display, window, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "test_window: cannot open the display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    const Window window = XCreateSimpleWindow(display, root, 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(display, window, StructureNotifyMask);

    if (options.hasTitle) {
        setText(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                XInternAtom(display, "UTF8_STRING", False), options.title);
    }
    if (options.hasWmName) {
        const Atom type =
            options.compoundText ? XInternAtom(display, "COMPOUND_TEXT", False) : XA_STRING;
        setText(display, window, XA_WM_NAME, type, options.wmName);
    }
    if (!options.machine.empty()) {
        setText(display, window, XA_WM_CLIENT_MACHINE, XA_STRING, options.machine);
    }
    if (options.hasPid) {
        setValue32(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL,
                   options.pid);
    }
    Window shown = window;
    if (options.frame) {
        shown = XCreateSimpleWindow(display, root, 0, 0, 220, 120, 0, 0, 0);
        XSelectInput(display, shown, StructureNotifyMask);
        setText(display, shown, XA_WM_NAME, XA_STRING, "frame");
        setValue32(display, shown, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 1);
        XReparentWindow(display, window, shown, 10, 10);
        const Atom wmState = XInternAtom(display, "WM_STATE", False);
        const long state[2] = {1, None}; // NormalState, no icon window
        XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(state), 2);
        XMapWindow(display, window);
    }
    XMapWindow(display, shown);
    waitForMap(display, shown);

    const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    if (options.focusOnly || options.activeNone) {
        if (options.activeNone) {
            setValue32(display, root, active, XA_WINDOW, None);
        } else {
            XDeleteProperty(display, root, active);
        }
        XSetInputFocus(display, shown, RevertToParent, CurrentTime);
    } else {
        // As a window manager would, it also says that it keeps the active window.
        setValue32(display, root, XInternAtom(display, "_NET_SUPPORTED", False), XA_ATOM, active);
        setValue32(display, root, active, XA_WINDOW, shown);
    }
    XSync(display, False);

    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
    XCloseDisplay(display);
    return 0;
}
