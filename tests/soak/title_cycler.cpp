// A top-level window that keeps changing its own title, for the soak: it takes the
// foreground, then sets the next title from its list every few milliseconds until it
// is closed or killed.
//   title_cycler.exe TITLES-FILE [INTERVAL-MS]
// TITLES-FILE holds the titles in UTF-16LE, each followed by one U+0000.
// "ready" on standard output says that the window is up and in the foreground.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> readTitles(const wchar_t* path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::vector<std::wstring> titles;
    std::wstring title;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                               static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit == L'\0') {
            titles.push_back(title);
            title.clear();
        } else {
            title.push_back(unit);
        }
    }
    return titles;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: title_cycler TITLES-FILE [INTERVAL-MS]\n", stderr);
        return 2;
    }
    const std::vector<std::wstring> titles = readTitles(argv[1]);
    if (titles.empty()) {
        std::fputs("title_cycler: no titles read\n", stderr);
        return 2;
    }
    const DWORD interval = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 3;

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"SoakTitleCycler";
    if (RegisterClassW(&windowClass) == 0) {
        std::fputs("title_cycler: RegisterClassW failed\n", stderr);
        return 1;
    }
    HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, titles[0].c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                        320, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        std::fputs("title_cycler: CreateWindowExW failed\n", stderr);
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    std::puts("ready");
    std::fflush(stdout);

    // Messages are handled between title changes, so the window stays responsive.
    std::size_t next = 1;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return 0;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        SetWindowTextW(window, titles[next].c_str());
        next = (next + 1) % titles.size();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, interval, QS_ALLINPUT);
    }
}
