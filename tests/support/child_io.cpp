#include "child_io.h"

#include <poll.h>
#include <unistd.h>

extern char** environ;

namespace test_support {

std::vector<std::string> environmentWith(const Environment& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!changes.contains(text.substr(0, text.find('=')))) {
            entries.push_back(text);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            entries.push_back(name + "=" + *value);
        }
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

std::string readLine(int descriptor, int timeoutMs) {
    std::string line;
    pollfd waiting{descriptor, POLLIN, 0};
    char byte;
    while (poll(&waiting, 1, timeoutMs) > 0 && read(descriptor, &byte, 1) == 1) {
        line.push_back(byte);
        if (byte == '\n') {
            break;
        }
    }
    return line;
}

std::string readAll(int descriptor) {
    std::string text;
    char chunk[4096];
    ssize_t count;
    while ((count = read(descriptor, chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<std::size_t>(count));
    }
    return text;
}

} // namespace test_support
