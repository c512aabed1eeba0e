#include "e2e_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace e2e {
namespace {

constexpr DWORD helperStartMs = 30000;
constexpr DWORD programRunMs = 30000;
constexpr DWORD helperCloseMs = 5000;
constexpr DWORD killMs = 5000;
constexpr DWORD pollMs = 10;

// For messages only.
std::string utf8(const std::wstring& text) {
    char bytes[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes, sizeof bytes - 1, nullptr, nullptr);
    return bytes;
}

} // namespace

std::wstring unixPathFromEnvironment(const wchar_t* variable) {
    const DWORD size = GetEnvironmentVariableW(variable, nullptr, 0);
    std::wstring value(size, L'\0');
    if (size < 2 || GetEnvironmentVariableW(variable, value.data(), size) != size - 1 ||
        value[0] != L'/') {
        ADD_FAILURE() << "set " << utf8(variable) << " to the file's absolute Unix path";
        return {};
    }
    value.resize(size - 1);
    std::wstring path = L"Z:";
    path += value;
    for (wchar_t& unit : path) {
        if (unit == L'/') {
            unit = L'\\';
        }
    }
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ADD_FAILURE() << "no file at " << utf8(path);
    }
    return path;
}

namespace {

std::wstring quoted(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

// Moves what PIPE holds now into BYTES, without waiting for more.
void drainAvailable(HANDLE pipe, std::string& bytes) {
    char chunk[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        const DWORD wanted = available < sizeof chunk ? available : DWORD{sizeof chunk};
        DWORD read = 0;
        if (!ReadFile(pipe, chunk, wanted, &read, nullptr) || read == 0) {
            return;
        }
        bytes.append(chunk, read);
    }
}

bool readReadyFile(const std::wstring& path, DWORD& pid, HWND& window) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    unsigned long filePid = 0;
    unsigned long long fileWindow = 0;
    if (!(file >> filePid >> fileWindow)) {
        return false;
    }
    pid = filePid;
    window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(fileWindow));
    return true;
}

} // namespace

std::wstring samplerPath() {
    return unixPathFromEnvironment(L"SAMPLER_EXE");
}

std::wstring windowHelperPath() {
    return unixPathFromEnvironment(L"SAMPLER_WINDOW_HELPER");
}

std::wstring freshDirectory(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::filesystem::path directory =
        std::filesystem::path(temp) / L"activity-sampler-e2e" / name;
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    return directory.wstring();
}

std::wstring copyWindowHelper(const std::wstring& directory, const std::wstring& fileName) {
    std::filesystem::create_directories(directory);
    const std::wstring copy = directory + L"\\" + fileName;
    if (!CopyFileW(windowHelperPath().c_str(), copy.c_str(), FALSE)) {
        ADD_FAILURE() << "can't copy the window helper, error " << GetLastError();
    }
    return copy;
}

HelperWindow::~HelperWindow() {
    if (process == nullptr) {
        return;
    }
    // Killed rather than closed: Wine takes two seconds over a window process's orderly
    // exit, and nothing of the helper's needs to outlive it.
    TerminateProcess(process, 1);
    WaitForSingleObject(process, helperCloseMs);
    CloseHandle(process);
}

bool showWindow(const std::wstring& executable, const std::wstring& title,
                const std::wstring& workDirectory, HelperWindow& helper) {
    const std::wstring titleFile = workDirectory + L"\\title.utf16";
    const std::wstring readyFile = workDirectory + L"\\ready.txt";
    {
        std::ofstream file(std::filesystem::path(titleFile), std::ios::binary);
        for (const wchar_t unit : title) {
            const char bytes[2] = {static_cast<char>(unit & 0xFF),
                                   static_cast<char>((unit >> 8) & 0xFF)};
            file.write(bytes, 2);
        }
        if (!file) {
            ADD_FAILURE() << "can't write the title file";
            return false;
        }
    }
    DeleteFileW(readyFile.c_str());

    std::wstring commandLine = quoted(executable) + L" --title-file " + quoted(titleFile) +
                               L" --ready-file " + quoted(readyFile);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDirectory.c_str(), &startup, &started)) {
        ADD_FAILURE() << "can't start the window helper, error " << GetLastError();
        return false;
    }
    CloseHandle(started.hThread);
    helper.process = started.hProcess;
    helper.pid = started.dwProcessId;

    DWORD readyPid = 0;
    HWND window = nullptr;
    for (DWORD waited = 0; !readReadyFile(readyFile, readyPid, window); waited += 20) {
        DWORD exitCode = 0;
        if (WaitForSingleObject(helper.process, 20) == WAIT_OBJECT_0) {
            GetExitCodeProcess(helper.process, &exitCode);
            ADD_FAILURE() << "the window helper ended early with status " << exitCode;
            return false;
        }
        if (waited >= helperStartMs) {
            ADD_FAILURE() << "the window helper isn't ready after " << helperStartMs << " ms";
            return false;
        }
    }
    helper.window = window;
    EXPECT_EQ(readyPid, helper.pid) << "the ready file names another process";
    if (GetForegroundWindow() != window) {
        ADD_FAILURE() << "the helper's window isn't in the foreground";
        return false;
    }
    return true;
}

RunResult runSampler() {
    return runProgram(samplerPath(), L"");
}

RunResult runProgram(const std::wstring& executable, const std::wstring& arguments) {
    RunResult result;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr;
    HANDLE outWrite = nullptr;
    HANDLE errRead = nullptr;
    HANDLE errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inheritable, 0) ||
        !CreatePipe(&errRead, &errWrite, &inheritable, 0)) {
        ADD_FAILURE() << "can't create pipes, error " << GetLastError();
        return result;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    const HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr);

    std::wstring commandLine = quoted(executable);
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION started{};
    const bool running = CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr,
                                        TRUE, 0, nullptr, nullptr, &startup, &started);
    const DWORD startError = GetLastError();
    // Only the child holds the write ends now, so the reads end when it does.
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(input);
    if (!running) {
        ADD_FAILURE() << "can't start " << utf8(executable) << ", error " << startError;
        CloseHandle(outRead);
        CloseHandle(errRead);
        return result;
    }
    CloseHandle(started.hThread);

    // Both pipes are drained while the program runs, so that neither can fill and stall
    // it, and on this thread: nothing here waits for a pipe to end, which a process the
    // program started could hold open. A program that outlives its limit fails the test.
    const ULONGLONG deadline = GetTickCount64() + programRunMs;
    for (;;) {
        const bool ended = WaitForSingleObject(started.hProcess, pollMs) == WAIT_OBJECT_0;
        drainAvailable(outRead, result.out);
        drainAvailable(errRead, result.err);
        if (ended) {
            break;
        }
        if (GetTickCount64() >= deadline) {
            ADD_FAILURE() << utf8(executable) << " didn't end within " << programRunMs
                          << " ms: killed";
            TerminateProcess(started.hProcess, 1);
            WaitForSingleObject(started.hProcess, killMs);
            break;
        }
    }
    GetExitCodeProcess(started.hProcess, &result.exitCode);
    CloseHandle(started.hProcess);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}

std::string expectedImagePath(const std::wstring& windowsPath) {
    if (windowsPath.size() < 3 || windowsPath[1] != L':') {
        ADD_FAILURE() << "not a drive path";
        return {};
    }
    wchar_t device[1024] = {};
    if (QueryDosDeviceW(windowsPath.substr(0, 2).c_str(), device, 1024) == 0) {
        ADD_FAILURE() << "no device for the drive, error " << GetLastError();
        return {};
    }
    const std::wstring kernelPath = device + windowsPath.substr(2);
    std::string bytes;
    for (const wchar_t unit : kernelPath) {
        if (unit > 0xFF) {
            return {};
        }
        bytes.push_back(unit == L'\\' ? '/' : static_cast<char>(unit));
    }
    return bytes;
}

std::string lineOf(const Line& line) {
    std::ostringstream out;
    out << "{\"Title\": \"" << line.title << "\", \"Curated_title\": \"" << line.curatedTitle
        << "\", \"Doc\": \"" << line.doc << "\", \"URL\": \"" << line.url
        << "\", \"Owner\": {\"Pid\": " << line.pid << ", \"Name\": \"" << line.name
        << "\", \"Path\": \"" << line.path << "\"}, \"App_cat_nb\": " << line.category << "}\r\n";
    return out.str();
}

void expectSampleLine(const RunResult& run, const Line& expected) {
    EXPECT_EQ(run.out, lineOf(expected));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
}

} // namespace e2e
