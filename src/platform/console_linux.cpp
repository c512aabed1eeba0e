#include "platform/console.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

bool writeAll(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

bool writeStandardOutput(std::string_view text) {
    return writeAll(STDOUT_FILENO, text);
}

bool writeStandardError(std::string_view text) {
    return writeAll(STDERR_FILENO, text);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace platform
