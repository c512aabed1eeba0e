// The collector's life in the user's session: the requests that stop it. (Its streams
// and arguments are console.h's.) Providers: collector_session_linux.cpp (SIGINT, SIGTERM),
// collector_session_win32.cpp (Ctrl+C, logoff and shutdown; a program without a
// console window of its own).
#pragma once

#include <chrono>

namespace platform {

// Starts listening for stop requests. Called once, before the first sample.
void watchForStopRequests();

// Waits up to DURATION, and returns true as soon as a stop has been asked for (at
// once when one already was).
bool waitForStopRequest(std::chrono::milliseconds duration);

// The collector has closed and written its open event: a logoff or shutdown waiting
// for it may go on.
void stopCompleted();

} // namespace platform
