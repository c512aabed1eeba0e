#include "activity_log/forget_requests.h"

#include "logformat/log_files.h"
#include "logformat/summary_files.h"
#include "platform/collector_files.h"
#include "text/utf8_path.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace activity_log {
namespace {

constexpr const char* requestSuffix = ".request";
constexpr const char* answerSuffix = ".answer";

std::filesystem::path folderOf(const std::filesystem::path& directory) {
    return directory / forgetRequestFolder;
}

std::string readSmall(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The lines of TEXT as a key and the rest: "from 1796634000000".
std::vector<std::pair<std::string, std::string>> fieldsOf(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> fields;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t space = line.find(' ');
        if (space != std::string::npos) {
            fields.emplace_back(line.substr(0, space), line.substr(space + 1));
        }
    }
    return fields;
}

std::optional<std::int64_t> integer(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<TimeRange> readRequest(const std::filesystem::path& file) {
    std::optional<std::int64_t> from, to;
    for (const auto& [key, value] : fieldsOf(readSmall(file))) {
        if (key == "from") {
            from = integer(value);
        } else if (key == "to") {
            to = integer(value);
        }
    }
    if (!from || !to || *from >= *to) {
        return std::nullopt;
    }
    return TimeRange{*from, *to};
}

std::string formatAnswer(const std::string& answerer, const ForgetOutcome& outcome) {
    std::string text = "by " + answerer + "\nevents " + std::to_string(outcome.events) +
                       "\ndamaged " + std::to_string(outcome.damagedLines) + "\n";
    for (const logformat::CivilDate& day : outcome.days) {
        text += "day " + logformat::formatDate(day) + "\n";
    }
    for (std::string failure : outcome.failures) {
        std::replace(failure.begin(), failure.end(), '\n', ' ');
        text += "failed " + failure + "\n";
    }
    return text;
}

std::vector<std::filesystem::path> waitingRequests(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> requests;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folderOf(directory), error), end;
         !error && entry != end; entry.increment(error)) {
        if (entry->path().extension() == requestSuffix) {
            requests.push_back(entry->path());
        }
    }
    std::sort(requests.begin(), requests.end());
    return requests;
}

// Answers an hour old: their forget stopped waiting long ago (it said so). They hold no
// text, only counts; the folder goes with the last of them.
void removeForsakenAnswers(const std::filesystem::path& directory) {
    const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::error_code error;
    std::vector<std::filesystem::path> forsaken;
    for (std::filesystem::directory_iterator entry(folderOf(directory), error), end;
         !error && entry != end; entry.increment(error)) {
        std::error_code timeError;
        const auto written = entry->last_write_time(timeError);
        if (entry->path().extension() == answerSuffix && !timeError && written < hourAgo) {
            forsaken.push_back(entry->path());
        }
    }
    for (const std::filesystem::path& answer : forsaken) {
        std::filesystem::remove(answer, error);
    }
    std::filesystem::remove(folderOf(directory), error); // only when empty
}

} // namespace

bool forgetRequested(const std::filesystem::path& directory) {
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folderOf(directory), error), end;
         !error && entry != end; entry.increment(error)) {
        if (entry->path().extension() == requestSuffix) {
            return true;
        }
    }
    return false;
}

void answerForgetRequests(const std::filesystem::path& directory,
                          std::vector<logformat::LogEvent>& current,
                          const std::function<bool()>& keepCurrent, const std::string& answerer) {
    for (const std::filesystem::path& request : waitingRequests(directory)) {
        ForgetOutcome outcome;
        if (const std::optional<TimeRange> range = readRequest(request)) {
            outcome = forgetInFolder(directory, *range, current, logformat::summaryCacheRoot());
            if (outcome.events > 0 && !keepCurrent()) {
                outcome.failures.push_back(
                    "can't rewrite " +
                    text::utf8FromPath(directory / logformat::currentEventFileName));
            }
        } else {
            outcome.failures.push_back("the request " + text::utf8FromPath(request) +
                                       " isn't one; removed");
        }
        // The copy of current.json a collector killed while replacing it left behind.
        std::filesystem::path leftover = directory / logformat::currentEventFileName;
        leftover += ".tmp";
        platform::removeDurably(leftover);
        std::filesystem::path answer = request;
        answer.replace_extension(answerSuffix);
        platform::replaceAtomically(answer, formatAnswer(answerer, outcome));
        std::error_code error;
        std::filesystem::remove(request, error);
    }
    removeForsakenAnswers(directory);
}

std::string newForgetRequestId() {
    std::random_device device;
    std::mt19937_64 random(
        (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char id[24];
    std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(random()));
    return id;
}

bool writeForgetRequest(const std::filesystem::path& directory, const std::string& id,
                        const TimeRange& range) {
    const std::string text =
        "from " + std::to_string(range.fromMs) + "\nto " + std::to_string(range.toMs) + "\n";
    // Another forget may remove the folder, empty, between the two steps: a few tries.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::error_code error;
        std::filesystem::create_directories(folderOf(directory), error);
        if (platform::replaceAtomically(folderOf(directory) / (id + requestSuffix), text)) {
            return true;
        }
    }
    return false;
}

std::optional<ForgetAnswer> takeForgetAnswer(const std::filesystem::path& directory,
                                             const std::string& id) {
    const std::filesystem::path file = folderOf(directory) / (id + answerSuffix);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return std::nullopt;
    }
    ForgetAnswer answer;
    for (const auto& [key, value] : fieldsOf(readSmall(file))) {
        if (key == "by") {
            answer.answerer = value;
        } else if (key == "events") {
            answer.outcome.events = static_cast<std::size_t>(integer(value).value_or(0));
        } else if (key == "damaged") {
            answer.outcome.damagedLines = static_cast<std::size_t>(integer(value).value_or(0));
        } else if (key == "day") {
            if (const auto day = logformat::parseDate(value)) {
                answer.outcome.days.insert(*day);
            }
        } else if (key == "failed") {
            answer.outcome.failures.push_back(value);
        }
    }
    std::filesystem::remove(file, error);
    std::filesystem::remove(folderOf(directory), error); // only when empty
    return answer;
}

} // namespace activity_log
