// COMPOUND_TEXT through Xlib, which knows every character set the encoding can
// designate. Xlib is loaded only here, when a window's title comes in this encoding:
// the modern clients that give _NET_WM_NAME never make a run pay for loading it.
#include "platform/dl_symbol_linux.h"
#include "platform/linux_compound_text.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <dlfcn.h>

#include <cstring>

namespace platform {
namespace {

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}
int ignoreIoError(Display*) {
    return 0;
}

struct Xlib {
    void* library = nullptr;
    decltype(&XOpenDisplay) openDisplay = nullptr;
    decltype(&XCloseDisplay) closeDisplay = nullptr;
    decltype(&Xutf8TextPropertyToTextList) toTextList = nullptr;
    decltype(&XFreeStringList) freeStringList = nullptr;
    decltype(&XInternAtom) internAtom = nullptr;
    decltype(&XSetErrorHandler) setErrorHandler = nullptr;
    decltype(&XSetIOErrorHandler) setIoErrorHandler = nullptr;
    decltype(&XSetIOErrorExitHandler) setIoErrorExitHandler = nullptr;

    // Never unloaded: Xlib keeps its locale data and our handlers for the rest of the
    // process, and the process ends right after the line.
    Xlib() : library(dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL)) {
        bindSymbol(library, "XOpenDisplay", openDisplay);
        bindSymbol(library, "XCloseDisplay", closeDisplay);
        bindSymbol(library, "Xutf8TextPropertyToTextList", toTextList);
        bindSymbol(library, "XFreeStringList", freeStringList);
        bindSymbol(library, "XInternAtom", internAtom);
        bindSymbol(library, "XSetErrorHandler", setErrorHandler);
        bindSymbol(library, "XSetIOErrorHandler", setIoErrorHandler);
        bindSymbol(library, "XSetIOErrorExitHandler", setIoErrorExitHandler);
    }
    bool usable() const {
        return openDisplay != nullptr && closeDisplay != nullptr && toTextList != nullptr &&
               freeStringList != nullptr && internAtom != nullptr && setErrorHandler != nullptr &&
               setIoErrorHandler != nullptr;
    }
};

const Xlib& xlib() {
    static const Xlib instance;
    return instance;
}

// An Xlib connection of its own for the conversion, closed once. A server that goes
// away meanwhile must not end the process without its line, as Xlib's default
// handlers would.
class XlibDisplay {
  public:
    explicit XlibDisplay(const Xlib& x) : x_(x) {
        x_.setErrorHandler(ignoreError);
        x_.setIoErrorHandler(ignoreIoError);
        display_ = x_.openDisplay(nullptr);
        if (display_ != nullptr && x_.setIoErrorExitHandler != nullptr) {
            x_.setIoErrorExitHandler(display_, markLost, this);
            guarded_ = true;
        }
    }
    ~XlibDisplay() {
        // Without the exit handler, a close on a lost connection would end the process:
        // the connection is then left to the end of the process.
        if (display_ != nullptr && guarded_ && !lost_) {
            x_.closeDisplay(display_);
        }
    }
    XlibDisplay(const XlibDisplay&) = delete;
    XlibDisplay& operator=(const XlibDisplay&) = delete;

    Display* get() const { return lost_ ? nullptr : display_; }

  private:
    static void markLost(Display*, void* self) { static_cast<XlibDisplay*>(self)->lost_ = true; }

    const Xlib& x_;
    Display* display_ = nullptr;
    bool guarded_ = false;
    bool lost_ = false;
};

} // namespace

std::vector<char> utf8FromCompoundText(const unsigned char* text, std::size_t bytes) {
    std::vector<char> utf8;
    const Xlib& x = xlib();
    if (!x.usable() || bytes == 0) {
        return utf8;
    }
    const XlibDisplay display(x);
    if (display.get() == nullptr) {
        return utf8;
    }
    // Xlib tells the encoding by the atom of its own connection.
    const Atom encoding = x.internAtom(display.get(), "COMPOUND_TEXT", False);
    unsigned char* value = const_cast<unsigned char*>(text);
    const XTextProperty property{value, encoding, 8, bytes};
    char** list = nullptr;
    int count = 0;
    if (x.toTextList(display.get(), &property, &list, &count) >= Success && list != nullptr) {
        if (count > 0 && list[0] != nullptr) {
            utf8.assign(list[0], list[0] + std::strlen(list[0]));
        }
        x.freeStringList(list);
    }
    return utf8;
}

} // namespace platform
