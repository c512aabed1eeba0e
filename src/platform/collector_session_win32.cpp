#include "platform/collector_session.h"

#include <windows.h>

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

} // namespace

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

} // namespace platform
