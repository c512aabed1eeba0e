// A top-level window with an exact title, in the foreground, for the end-to-end tests.
//   window_helper.exe --title-file FILE --ready-file FILE [--timeout-ms N]
// The title file holds the title as raw UTF-16LE units, no byte-order mark, so any
// UTF-16 text can be a title: controls, quotes, lone surrogates, any length.
// Once the window is up, has that title and is in the foreground, the helper writes
// "PID HWND" (decimal) to the ready file, whole or not at all. It then pumps messages
// until the window is closed (WM_CLOSE), the process is killed, or the timeout ends it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr UINT_PTR safetyTimer = 1;

struct Options {
    std::wstring titleFile;
    std::wstring readyFile;
    UINT timeoutMs = 60000;
};

bool parseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring key = argv[i];
        const wchar_t* value = argv[i + 1];
        if (key == L"--title-file") {
            options.titleFile = value;
        } else if (key == L"--ready-file") {
            options.readyFile = value;
        } else if (key == L"--timeout-ms") {
            options.timeoutMs = static_cast<UINT>(std::wcstoul(value, nullptr, 10));
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && !options.titleFile.empty() && !options.readyFile.empty();
}

bool readUtf16File(const std::wstring& path, std::wstring& text) {
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) {
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    text.clear();
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return true;
}

// The text the window holds, read back whole (GetWindowTextW on one's own window asks
// the window itself, so no 1024-unit limit applies).
std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 2, L'\0');
    const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

bool bringToForeground(HWND window) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        SetForegroundWindow(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (GetForegroundWindow() == window) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

// Written beside the ready file and renamed, so a reader never sees half of it.
bool writeReadyFile(const std::wstring& path, HWND window) {
    const std::wstring partial = path + L".partial";
    std::FILE* file = nullptr;
    if (_wfopen_s(&file, partial.c_str(), L"wb") != 0 || file == nullptr) {
        return false;
    }
    std::fprintf(file, "%lu %llu\n", GetCurrentProcessId(),
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    const bool written = std::fclose(file) == 0;
    return written && MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == safetyTimer) {
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int fail(const char* what) {
    std::fprintf(stderr, "window_helper: %s (error %lu)\n", what, GetLastError());
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs("usage: window_helper --title-file FILE --ready-file FILE [--timeout-ms N]\n",
                   stderr);
        return 2;
    }
    std::wstring title;
    if (!readUtf16File(options.titleFile, title)) {
        return fail("can't read the title file");
    }

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"SamplerTestWindow";
    if (RegisterClassW(&windowClass) == 0) {
        return fail("can't register the window class");
    }
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(),
                                        WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300,
                                        nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return fail("can't create the window");
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    if (windowText(window) != title) {
        return fail("the window doesn't hold the title");
    }
    if (!bringToForeground(window)) {
        return fail("the window doesn't come to the foreground");
    }
    SetTimer(window, safetyTimer, options.timeoutMs, nullptr);
    if (!writeReadyFile(options.readyFile, window)) {
        return fail("can't write the ready file");
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
