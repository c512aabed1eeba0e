// End-to-end harness: the real activity-sampler.exe against a helper window with an
// exact title, both under the test run's Wine session.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// The sampler and the window helper, from SAMPLER_EXE and SAMPLER_WINDOW_HELPER (Unix
// paths, set by the test's CMake; Wine maps the Unix root to Z:).
std::wstring samplerPath();
std::wstring windowHelperPath();
// The file at the absolute Unix path in VARIABLE, as a Windows path; fails the current
// test (and returns "") without one.
std::wstring unixPathFromEnvironment(const wchar_t* variable);

// A fresh, empty directory for one case, under the prefix's temporary folder. NAME may
// hold any characters a folder name may.
std::wstring freshDirectory(const std::wstring& name);

// Copies the window helper to DIRECTORY\FILE_NAME and returns the copy's path.
std::wstring copyWindowHelper(const std::wstring& directory, const std::wstring& fileName);

// A window helper process showing a title in the foreground; ended when destroyed.
class HelperWindow {
  public:
    HelperWindow() = default;
    HelperWindow(const HelperWindow&) = delete;
    HelperWindow& operator=(const HelperWindow&) = delete;
    ~HelperWindow();

    DWORD pid = 0;
    HWND window = nullptr;
    HANDLE process = nullptr;
};

// Starts EXECUTABLE (the helper or a copy of it) with TITLE and waits until its window
// is in the foreground. The title and ready files go to WORK_DIRECTORY. Fails the
// current test (and returns false) when the helper doesn't get there.
bool showWindow(const std::wstring& executable, const std::wstring& title,
                const std::wstring& workDirectory, HelperWindow& helper);

struct RunResult {
    std::string out;
    std::string err;
    DWORD exitCode = 0;
};

// Runs EXECUTABLE with ARGUMENTS (a command-line tail, already quoted as needed),
// standard output and error on pipes and no input, and waits for its end: at most 30 s,
// after which it is killed and the current test fails.
RunResult runProgram(const std::wstring& executable, const std::wstring& arguments);

// Runs the sampler as runProgram does, without arguments.
RunResult runSampler();

// The image path the kernel reports for a file at WINDOWS_PATH (a drive path), as the
// line writes it: the drive's device name in place of the drive, slashes for
// backslashes, one byte per unit up to U+00FF, and empty if any unit is above it.
std::string expectedImagePath(const std::wstring& windowsPath);

// The line for the parts given, each already in its output bytes, JSON escapes included.
struct Line {
    std::string title;
    std::string curatedTitle;
    std::string doc;
    std::string url;
    DWORD pid = 0;
    std::string name;
    std::string path;
    long long category = 0;
};
std::string lineOf(const Line& line);

// A sound run: exactly the expected line on standard output, nothing on standard
// error, status 0.
void expectSampleLine(const RunResult& run, const Line& expected);

} // namespace e2e
