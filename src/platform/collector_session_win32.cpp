#include "platform/collector_session.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace platform {
namespace {

// How long a logoff or shutdown waits for the open event to be written.
constexpr DWORD endSessionWaitMs = 5000;

HANDLE stopEvent = nullptr;
HANDLE doneEvent = nullptr;

void askToStopAndWait() {
    SetEvent(stopEvent);
    WaitForSingleObject(doneEvent, endSessionWaitMs);
}

BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        SetEvent(stopEvent);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        askToStopAndWait();
        return TRUE;
    default:
        return FALSE;
    }
}

// A hidden top-level window: logoff and shutdown are told to top-level windows only,
// not to message-only ones. The process may end as soon as WM_ENDSESSION returns, so
// the window waits there until the open event is written.
LRESULT CALLBACK sessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) {
            askToStopAndWait();
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

DWORD WINAPI sessionWindowThread(LPVOID) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = sessionWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"activity-log session";
    RegisterClassW(&windowClass);
    // Never shown: WS_EX_TOOLWINDOW keeps it off the taskbar and the task switcher.
    const HWND window =
        CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"activity-log", WS_POPUP, 0,
                        0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// The program has no console window. Its standard streams are the handles it was
// given (a pipe, a file) when there are any; otherwise, for the text it must show,
// the console of the program that started it, when there is one.
struct Stream {
    DWORD which;
    HANDLE handle = nullptr;
    bool console = false;
    bool looked = false;
};
Stream output{STD_OUTPUT_HANDLE};
Stream error{STD_ERROR_HANDLE};

bool usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

HANDLE handleOf(Stream& stream) {
    if (stream.looked) {
        return stream.handle;
    }
    stream.looked = true;
    HANDLE given = GetStdHandle(stream.which);
    if (!usable(given)) {
        static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
        if (!attached) {
            return nullptr;
        }
        // Kept until the process ends.
        given = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
        if (!usable(given)) {
            return nullptr;
        }
    }
    DWORD mode = 0;
    stream.console = GetConsoleMode(given, &mode) != 0;
    stream.handle = given;
    return given;
}

bool write(Stream& stream, std::string_view bytes) {
    const HANDLE handle = handleOf(stream);
    if (handle == nullptr) {
        return false;
    }
    if (stream.console) {
        // A console shows UTF-16 whatever its code page.
        const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(),
                                              static_cast<int>(bytes.size()), nullptr, 0);
        std::wstring text(static_cast<std::size_t>(units), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                            units);
        DWORD wrote = 0;
        return WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &wrote,
                             nullptr) != 0;
    }
    while (!bytes.empty()) {
        DWORD wrote = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) ||
            wrote == 0) {
            return false;
        }
        bytes.remove_prefix(wrote);
    }
    return true;
}

} // namespace

std::vector<std::string> collectorArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(bytes > 0 ? static_cast<std::size_t>(bytes) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), bytes, nullptr, nullptr);
        argument.resize(argument.size() - 1);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

void watchForStopRequests() {
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    doneEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    const HANDLE thread = CreateThread(nullptr, 0, sessionWindowThread, nullptr, 0, nullptr);
    if (thread != nullptr) {
        CloseHandle(thread);
    }
}

bool waitForStopRequest(std::chrono::milliseconds duration) {
    const auto ms = duration.count() < 0 ? 0 : duration.count();
    return WaitForSingleObject(stopEvent, ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(ms)) ==
           WAIT_OBJECT_0;
}

void stopCompleted() {
    SetEvent(doneEvent);
}

bool writeCollectorOutput(std::string_view bytes) {
    return write(output, bytes);
}

void writeCollectorError(std::string_view bytes) {
    write(error, bytes);
}

} // namespace platform
