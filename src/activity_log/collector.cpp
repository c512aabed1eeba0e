#include "activity_log/collector.h"

#include "activity_log/activity.h"
#include "activity_log/event_builder.h"
#include "activity_log/forget_requests.h"
#include "activity_log/log_store.h"
#include "activity_log/sample_line.h"
#include "logformat/log_files.h"
#include "logformat/timestamp.h"
#include "platform/child_process.h"
#include "platform/collector_files.h"
#include "platform/collector_session.h"
#include "platform/console.h"
#include "platform/desktop_probe.h"
#include "platform/input_idle.h"
#include "platform/session_lock.h"
#include "platform/system.h"
#include "text/utf8_path.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

namespace activity_log {
namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

std::int64_t wallNowMs() {
    return std::chrono::duration_cast<Milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t monotonicMs(Clock::time_point moment) {
    return std::chrono::duration_cast<Milliseconds>(moment.time_since_epoch()).count();
}

Clock::duration secondsToDuration(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::int64_t secondsToMs(double seconds) {
    return static_cast<std::int64_t>(std::llround(seconds * 1000));
}

std::filesystem::path samplerPath(const Options& options) {
    if (!options.sampler.empty()) {
        return options.sampler;
    }
    return platform::ownExecutablePath().parent_path() /
           platform::executableFileName("activity-sampler");
}

// The sample a run gave, or none: the sampler couldn't start, overstayed, failed, or
// printed nothing it could have meant.
std::optional<Sample> sampleOf(const platform::ChildRun& run) {
    if (!run.started || run.timedOut || run.exitCode != 0) {
        return std::nullopt;
    }
    return readSampleLine(run.out);
}

// The idle time, asked of the system only when it can matter: while the last input
// known plus the time since is short of --idle-after, the user can't be idle yet, and
// that sum serves (on X11 every question is a connection to the server).
struct IdleTime {
    std::optional<std::int64_t> known;
    Clock::time_point knownAt;

    std::optional<std::int64_t> at(Clock::time_point now, std::int64_t idleAfterMs) {
        if (known) {
            const std::int64_t since =
                std::chrono::duration_cast<Milliseconds>(now - knownAt).count();
            if (*known + since < idleAfterMs) {
                return *known + since;
            }
        }
        known = platform::inputIdleMilliseconds();
        knownAt = now;
        return known;
    }
};

// activity-log forget's requests, carried out between two samples under this collector's
// lock: the events it still holds (queued, open) are forgotten with the day files, and
// current.json is replaced before the answer goes, so that the next sample can't bring
// the text back. The open event then differs from the window's next sample, which starts
// a new event: what is recorded after the request is kept.
void answerForget(LogStore& store, EventBuilder& builder) {
    if (store.toStandardOutput || !store.lock || !forgetRequested(store.directory)) {
        return;
    }
    std::vector<logformat::LogEvent> current(store.pending.begin(), store.pending.end());
    if (builder.open) {
        current.push_back(*builder.open);
    }
    const std::size_t queued = store.pending.size();
    answerForgetRequests(
        store.directory, current,
        [&] {
            std::copy(current.begin(), current.begin() + static_cast<std::ptrdiff_t>(queued),
                      store.pending.begin());
            if (builder.open) {
                builder.open = current.back();
            }
            // Made durable at once: a power cut mustn't bring back the text.
            const std::filesystem::path file = store.directory / logformat::currentEventFileName;
            std::error_code error;
            return saveCurrent(store, builder.open) &&
                   (!std::filesystem::exists(file, error) || platform::syncName(file));
        },
        "collector");
}

// The collector's own messages go to standard error. Where that goes nowhere (a
// Windows collector started at logon has no console), they are kept in a file in the
// log folder, each with its time; past a megabyte the file starts over, the one before
// kept beside it.
constexpr const char* messageFileName = "activity-log-messages.txt";
constexpr const char* oldMessageFileName = "activity-log-messages.old.txt";
constexpr std::uintmax_t messageFileLimit = 1u << 20;

void say(const LogStore& store, const std::string& message) {
    if (platform::writeStandardError(message) || store.toStandardOutput ||
        store.directory.empty()) {
        return;
    }
    const std::filesystem::path file = store.directory / messageFileName;
    std::error_code error;
    if (std::filesystem::file_size(file, error) > messageFileLimit && !error) {
        std::filesystem::rename(file, store.directory / oldMessageFileName, error);
    }
    const std::int64_t now = wallNowMs();
    platform::appendDurably(
        file,
        logformat::formatTimestamp({now, platform::localUtcOffsetMinutes(now)}) + " " + message);
}

// "5 minutes", "90 seconds", "0.5 seconds".
std::string spokenSeconds(double seconds) {
    if (seconds >= 60 && std::fmod(seconds, 60) == 0) {
        const auto minutes = static_cast<long long>(seconds / 60);
        return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
    }
    std::string number = std::to_string(seconds);
    number.erase(number.find_last_not_of('0') + 1);
    if (number.back() == '.') {
        number.pop_back();
    }
    return number + (number == "1" ? " second" : " seconds");
}

// The line at the start: where the events go, what the sampler will sample, and where
// idle time comes from, so that a collector started without a desktop says so at once.
std::string startLine(const LogStore& store) {
    const platform::DesktopProbe probe = platform::probeDesktop();
    const std::string where = store.toStandardOutput
                                  ? "writing events to standard output"
                                  : "logging to " + text::utf8FromPath(store.directory);
    return "activity-log: " + where +
           "; desktop: " + (probe.found ? probe.desktop : "none found (" + probe.desktop + ")") +
           "; idle time: " + probe.idleSource + "\n";
}

// Samples that find no window because no desktop answers (a unit started without
// DISPLAY, a display that went away), or one the sampler can't ask (it says why on its
// standard error, which is not the collector's), would record `none` for days without a
// word: once they have lasted STUCK_AFTER, it is said, and said again when a window is
// back.
struct NoWindowWatch {
    Clock::duration stuckAfter{};
    std::optional<Clock::time_point> since; // the first sample of the run without a window
    Clock::time_point nextCheck;
    bool stuck = false;
};

// The first line the sampler wrote on standard error, without its name: why it named no
// window, when it knows (a compositor it can't ask). Cut to a line's length, at a
// character's start.
std::string samplerReason(const std::string& err) {
    constexpr std::string_view name = "activity-sampler: ";
    std::string line = err.substr(0, err.find('\n'));
    if (line.starts_with(name)) {
        line.erase(0, name.size());
    }
    std::size_t size = std::min<std::size_t>(line.size(), 300);
    while (size > 0 && size < line.size() &&
           (static_cast<unsigned char>(line[size]) & 0xC0) == 0x80) {
        --size;
    }
    line.resize(size);
    return line;
}

void watchNoWindow(NoWindowWatch& watch, logformat::ActivityState state, Clock::time_point tick,
                   const std::string& samplerErr, double stuckAfterSeconds, const LogStore& store) {
    if (state == logformat::ActivityState::unavailable) {
        return; // the sampler failed: it says nothing of the desktop
    }
    if (state != logformat::ActivityState::none) {
        if (watch.stuck) {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(tick - *watch.since).count();
            char spent[32];
            std::snprintf(
                spent, sizeof spent, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
            say(store, std::string("activity-log: a window is in front again, after ") + spent +
                           " without one; recording as before\n");
        }
        watch.since.reset();
        watch.stuck = false;
        return;
    }
    if (!watch.since) {
        watch.since = tick;
        watch.nextCheck = tick + watch.stuckAfter;
    }
    if (watch.stuck || tick < watch.nextCheck) {
        return;
    }
    // A desktop that answers with no window in front (an empty X screen) is left alone,
    // and asked again after as long; one the sampler can't ask (it says why) is not.
    const platform::DesktopProbe probe = platform::probeDesktop();
    const std::string reason = samplerReason(samplerErr);
    watch.nextCheck = tick + watch.stuckAfter;
    const std::string stuck =
        "activity-log: no window in any sample for " + spokenSeconds(stuckAfterSeconds);
    if (!probe.found) {
        watch.stuck = true;
        say(store, stuck + ": no desktop answers (" + probe.desktop +
                       "); recording none until one does\n");
    } else if (!reason.empty()) {
        watch.stuck = true;
        say(store, stuck + " on " + probe.desktop + "; the sampler says: " + reason + "\n");
    }
}

} // namespace

int runCollector(const Options& options) {
    LogStore store;
    store.toStandardOutput = options.toStandardOutput;
    store.directory =
        options.directory.empty() ? logformat::defaultLogDirectory() : options.directory;
    if (!store.toStandardOutput && store.directory.empty()) {
        platform::writeStandardError(
            "activity-log: the system names no data folder for the log; give one with --dir\n");
        return 2;
    }
    // Two collectors on one folder would write every span twice and fight over
    // current.json (started both from the Startup folder and by a task, say). A folder
    // that can't be locked yet (missing, unwritable) is tried again at every sample, and
    // nothing is written there until it is held.
    if (holdFolder(store) == FolderHold::busy) {
        platform::writeStandardError("activity-log: another activity-log is writing to " +
                                     text::utf8FromPath(store.directory) + "\n");
        return 2;
    }
    platform::watchForStopRequests();
    say(store, startLine(store));

    ActivityRules rules;
    rules.idleAfterMs = secondsToMs(options.idleAfterSeconds);
    rules.keepActive = compilePatterns(options.keepActive);
    rules.exclude = compilePatterns(options.exclude);

    EventBuilder builder;
    builder.settings.gapMs =
        2 * secondsToMs(options.intervalSeconds) + secondsToMs(options.timeoutSeconds);
    builder.settings.offsetAt = platform::localUtcOffsetMinutes;

    const std::filesystem::path sampler = samplerPath(options);
    const auto timeout = std::chrono::duration_cast<Milliseconds>(
        std::chrono::duration<double>(options.timeoutSeconds));
    const Clock::duration interval = secondsToDuration(options.intervalSeconds);
    const Clock::time_point started = Clock::now();
    // No --for: a deadline that never comes.
    const Clock::time_point deadline = options.forSeconds
                                           ? started + secondsToDuration(*options.forSeconds)
                                           : Clock::time_point::max();

    IdleTime idleTime;
    NoWindowWatch noWindow;
    noWindow.stuckAfter = secondsToDuration(options.stuckAfterSeconds);
    std::uint64_t taken = 0;
    Clock::time_point next = started;
    Clock::time_point lastTick = started;
    std::int64_t lastWall = wallNowMs();
    bool stopAsked = false;
    bool takenByAnother = false;
    while (!stopAsked) {
        // The moment of the sample is when the sampler starts looking.
        const Clock::time_point tick = Clock::now();
        const std::int64_t wall = wallNowMs();
        lastTick = tick;
        lastWall = wall;
        // Idle time at the same moment: the last input is the sample's time minus it.
        const std::optional<std::int64_t> idle = idleTime.at(tick, rules.idleAfterMs);
        bool locked = platform::sessionLocked().value_or(false);
        const platform::ChildRun run = platform::runChild(
            sampler, timeout, [] { return platform::waitForStopRequest(Milliseconds(0)); });
        // A lock that came while the sampler ran: its line may be the lock screen's (no
        // window on GNOME), which is the lock's time, not a gap without a window.
        if (!locked) {
            locked = platform::sessionLocked().value_or(false);
        }
        if (run.abandoned) {
            break; // stopping: the open event ends now, without this sample
        }

        Observation observation;
        observation.wallMs = wall;
        observation.monotonicMs = monotonicMs(tick);
        observation.idleMs = idle;
        observation.what = describeSample(sampleOf(run), idle, rules, locked);
        watchNoWindow(noWindow, observation.what.state, tick, run.err, options.stuckAfterSeconds,
                      store);
        const FolderHold hold = holdFolder(store);
        keepEvents(store, observe(builder, observation));
        if (hold == FolderHold::busy) {
            // Taken by another collector while this one waited for it: that one records
            // from now on, and this one may not write there.
            takenByAnother = true;
            break;
        }
        if (store.outputGone) {
            break;
        }
        answerForget(store, builder);
        saveCurrent(store, builder.open);

        ++taken;
        if (options.samples && taken >= *options.samples) {
            break;
        }
        // Intervals are kept on the monotonic clock; ticks missed while the sampler was
        // slow (or the machine asleep) are skipped, not caught up.
        next += interval;
        const Clock::time_point now = Clock::now();
        if (next < now) {
            next = now;
        }
        const Clock::time_point until = deadline < next ? deadline : next;
        stopAsked =
            platform::waitForStopRequest(std::chrono::ceil<Milliseconds>(until - Clock::now()));
        if (Clock::now() >= deadline) {
            break;
        }
    }
    // A sample still running at the end of --for doesn't make the run longer: the stop
    // is the deadline, on the wall clock as the last sample saw it.
    Clock::time_point stopTick = Clock::now();
    std::int64_t stopWall = wallNowMs();
    if (stopTick > deadline) {
        stopTick = deadline;
        stopWall = lastWall + std::chrono::duration_cast<Milliseconds>(deadline - lastTick).count();
    }
    const bool written = keepEvents(store, finish(builder, stopWall, monotonicMs(stopTick)));
    if (takenByAnother) {
        platform::writeStandardError("activity-log: another activity-log took " +
                                     text::utf8FromPath(store.directory) +
                                     " while this one waited for it; stopping\n");
    } else if (store.outputGone) {
        platform::writeStandardError(
            "activity-log: can't write to standard output any more (its reader went away?); "
            "stopping\n");
    }
    // What the log didn't take waits in current.json for the next start; where even that
    // can't be written, standard error is the last chance, for the user to add by hand.
    const bool kept = !takenByAnother && saveCurrent(store, std::nullopt);
    if (!written && kept && !store.toStandardOutput) {
        platform::writeStandardError(
            "activity-log: " + std::to_string(store.pending.size()) + " events wait in " +
            text::utf8FromPath(store.directory / logformat::currentEventFileName) +
            " for the next start to write them\n");
    } else if (!written) {
        platform::writeStandardError("activity-log: " + std::to_string(store.pending.size()) +
                                     " events could not be written to the log:\n");
        for (const logformat::LogEvent& event : store.pending) {
            platform::writeStandardError(logformat::formatLogEvent(event));
        }
    }
    platform::stopCompleted();
    return takenByAnother ? 2 : written ? 0 : 1;
}

} // namespace activity_log
