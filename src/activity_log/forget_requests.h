// How activity-log forget reaches the folder's lock holder. The request is a file in the
// log folder's forget-requests/; whoever holds the lock (the running collector at its
// next sample, or activity-log forget itself when none runs) carries out every request
// there, writes each one's answer beside it and then removes the request. A crash before
// that leaves the request for the next holder, and doing it again changes nothing that
// was done: no request is lost, and none is half done.
#pragma once

#include "activity_log/forget_folder.h"
#include "logformat/log_event.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace activity_log {

inline constexpr const char* forgetRequestFolder = "forget-requests";

// True when a request waits in DIRECTORY. Asked at every sample: the folder is usually
// missing, and then this is one failed open.
bool forgetRequested(const std::filesystem::path& directory);

// Carries out the requests waiting in DIRECTORY, whose lock the caller holds. CURRENT is
// what current.json holds (queued events, then the open one); KEEP_CURRENT writes it
// back, false when it couldn't. ANSWERER names the caller in the answers.
void answerForgetRequests(const std::filesystem::path& directory,
                          std::vector<logformat::LogEvent>& current,
                          const std::function<bool()>& keepCurrent, const std::string& answerer);

// A new request's name, unlikely ever to be made twice.
std::string newForgetRequestId();

bool writeForgetRequest(const std::filesystem::path& directory, const std::string& id,
                        const TimeRange& range);

struct ForgetAnswer {
    std::string answerer;
    ForgetOutcome outcome;
};

// The answer to request ID, once there, read and removed with what is left of the
// request folder.
std::optional<ForgetAnswer> takeForgetAnswer(const std::filesystem::path& directory,
                                             const std::string& id);

} // namespace activity_log
