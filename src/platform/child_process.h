// Runs a program as a child process for the collector: no input, standard output and
// error on pipes, both read to the end while it runs, and killed when it overstays.
// Providers: child_process_linux.cpp, child_process_win32.cpp.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct ChildRun {
    bool started = false;   // false: the program couldn't be started at all
    bool timedOut = false;  // killed at the timeout
    bool abandoned = false; // killed because ABANDON said so
    int exitCode = -1;      // valid when started and not timed out; -1 for a signal
    std::string out;
    std::string err;
};

// What is kept of each stream; the rest is read and dropped, so a child that prints
// without end can neither stall nor exhaust the collector.
inline constexpr std::size_t childOutputLimit = 64 * 1024;

// ABANDON is asked while the child runs: when it says so, the child is killed at once
// (the collector is stopping, and a logoff won't wait for a slow sampler).
ChildRun runChild(const std::filesystem::path& program, std::chrono::milliseconds timeout,
                  const std::function<bool()>& abandon);

#ifndef _WIN32
// The program NAME, found in PATH, run with ARGUMENTS as runChild runs the sampler: for
// the desktop's own tools (gsettings, say).
ChildRun runProgram(const std::string& name, const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeout);
#endif

} // namespace platform
