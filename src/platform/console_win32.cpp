#include "platform/console.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace platform {

namespace {

std::wstring wideOf(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), units);
    return wide;
}

std::string utf8Of(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.pop_back(); // the terminator
    return narrow;
}

bool usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The stream's handle: the one the program was given (a console, a pipe, a file). A
// program without a console window of its own (the collector) has none when started
// from a console; it writes to the console of whatever started it, when there is one.
HANDLE handleOf(DWORD which) {
    const HANDLE given = GetStdHandle(which);
    if (usable(given)) {
        return given;
    }
    static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (!attached) {
        return nullptr;
    }
    // Opened once for both streams, and kept until the process ends.
    static const HANDLE parentConsole =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    return usable(parentConsole) ? parentConsole : nullptr;
}

bool writeTo(DWORD which, std::string_view text) {
    const HANDLE handle = handleOf(which);
    if (handle == nullptr) {
        return false;
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = wideOf(text);
        std::size_t at = 0;
        while (at < wide.size()) {
            // Modest pieces: old consoles refuse very large writes.
            const DWORD units = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 8192));
            DWORD written = 0;
            if (!WriteConsoleW(handle, wide.data() + at, units, &written, nullptr) ||
                written == 0) {
                return false;
            }
            at += written;
        }
        return true;
    }
    while (!text.empty()) {
        const DWORD bytes = static_cast<DWORD>(std::min<std::size_t>(text.size(), INT_MAX));
        DWORD written = 0;
        if (!WriteFile(handle, text.data(), bytes, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

// Frees what CommandLineToArgvW allocated, once.
struct LocalMemory {
    wchar_t** arguments = nullptr;
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    explicit LocalMemory(wchar_t** owned) : arguments(owned) {}
    ~LocalMemory() {
        if (arguments != nullptr) {
            LocalFree(arguments);
        }
    }
};

} // namespace

bool writeStandardOutput(std::string_view text) {
    return writeTo(STD_OUTPUT_HANDLE, text);
}

bool writeStandardError(std::string_view text) {
    return writeTo(STD_ERROR_HANDLE, text);
}

std::optional<int> terminalColumns() {
    if (const auto columns = columnsValue(std::getenv("COLUMNS"))) {
        return columns;
    }
    // The console window's visible width, not its buffer's.
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (usable(handle) && GetConsoleScreenBufferInfo(handle, &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 0) {
            return columns;
        }
    }
    return std::nullopt;
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    const LocalMemory wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (wide.arguments == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(utf8Of(wide.arguments[i]));
    }
    return arguments;
}

} // namespace platform
