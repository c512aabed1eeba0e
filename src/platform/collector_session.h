// The collector's life in the user's session: the requests that stop it, and its
// standard streams. Providers: collector_session_linux.cpp (SIGINT, SIGTERM),
// collector_session_win32.cpp (Ctrl+C, logoff and shutdown; a program without a
// console window of its own).
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The program's arguments after its name, in UTF-8 (on Windows from the wide command
// line, whatever the code page).
std::vector<std::string> collectorArguments(int argc, char** argv);

// Starts listening for stop requests. Called once, before the first sample.
void watchForStopRequests();

// Waits up to DURATION, and returns true as soon as a stop has been asked for (at
// once when one already was).
bool waitForStopRequest(std::chrono::milliseconds duration);

// The collector has closed and written its open event: a logoff or shutdown waiting
// for it may go on.
void stopCompleted();

// Standard output and error, byte for byte (UTF-8); on a Windows console as UTF-16.
// Without handles of its own (no console window) the program writes to the console
// of whatever started it, when there is one. Output reports whether every byte
// was written.
bool writeCollectorOutput(std::string_view bytes);
void writeCollectorError(std::string_view bytes);

} // namespace platform
