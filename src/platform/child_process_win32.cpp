#include "platform/child_process.h"

#include "platform/win32_handle.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// How often the pipes are looked at while the child runs. Anonymous pipes can't be
// waited on, so both are peeked and drained from this one thread: neither can fill
// and stall the child, and no read ever blocks.
constexpr DWORD pollMs = 5;
// Once the child has exited, how long its pipes may stay open (held by a process it
// left behind) before they are given up.
constexpr auto exitGrace = std::chrono::milliseconds(200);

// Reads what the pipe holds; false once it is broken (every writer gone).
bool drain(HANDLE pipe, std::string& into) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
            return false;
        }
        if (available == 0) {
            return true;
        }
        char chunk[8192];
        DWORD got = 0;
        const DWORD want = available < DWORD{sizeof chunk} ? available : DWORD{sizeof chunk};
        if (!ReadFile(pipe, chunk, want, &got, nullptr)) {
            return false;
        }
        const std::size_t room =
            into.size() < childOutputLimit ? childOutputLimit - into.size() : 0;
        into.append(chunk, got < room ? got : room);
    }
}

std::wstring quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

} // namespace

ChildRun runChild(const std::filesystem::path& program, std::chrono::milliseconds timeout,
                  const std::function<bool()>& abandon) {
    ChildRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Win32Handle outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(outRead.receive(), outWrite.receive(), &inheritable, 64 * 1024) ||
        !CreatePipe(errRead.receive(), errWrite.receive(), &inheritable, 64 * 1024)) {
        return run;
    }
    SetHandleInformation(outRead.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead.get(), HANDLE_FLAG_INHERIT, 0);
    Win32Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inheritable, OPEN_EXISTING, 0, nullptr));

    std::wstring commandLine = quoted(program.wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.valid() ? input.get() : nullptr;
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    PROCESS_INFORMATION started{};
    // No console window for the child: nothing flashes on the screen at every sample.
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
        return run;
    }
    run.started = true;
    const Win32Handle process(started.hProcess);
    const Win32Handle thread(started.hThread);
    // Only the child holds the write ends now, so the pipes break when it ends.
    outWrite.reset();
    errWrite.reset();
    input.reset();

    const auto deadline = Clock::now() + timeout;
    bool outOpen = true, errOpen = true, exited = false;
    Clock::time_point exitedAt{};
    while (!exited || outOpen || errOpen) {
        const auto now = Clock::now();
        if (now >= deadline) {
            run.timedOut = !exited;
            break;
        }
        if (exited && now - exitedAt >= exitGrace) {
            break;
        }
        if (!exited && abandon()) {
            run.abandoned = true;
            break;
        }
        if (!exited && WaitForSingleObject(process.get(), pollMs) == WAIT_OBJECT_0) {
            exited = true;
            exitedAt = Clock::now();
        } else if (exited) {
            Sleep(pollMs);
        }
        if (outOpen) {
            outOpen = drain(outRead.get(), run.out);
        }
        if (errOpen) {
            errOpen = drain(errRead.get(), run.err);
        }
    }
    if (run.timedOut || run.abandoned) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
        return run;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    run.exitCode = static_cast<int>(code);
    return run;
}

} // namespace platform
