// A build without sd-bus's header: GNOME Shell's extension can't be asked, and the run
// says so as for any desktop it can't name a window on.
#include "platform/linux_desktop.h"

namespace platform::desktop {

bool gnomeFocusedWindow(std::optional<FocusedWindow>&, std::string& problem) {
    problem = "this build can't ask GNOME Shell's extension: it was made without sd-bus";
    return false;
}

} // namespace platform::desktop
