// Samples into events: extension, hand-over, gaps on either clock, idle cut back to the
// last input, local midnight; and what a sample says under the user's rules.
#include "activity_log/activity.h"
#include "activity_log/event_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using activity_log::EventBuilder;
using activity_log::Observation;
using logformat::ActivityState;
using logformat::LogEvent;

// One sample: its moment on both clocks (monotonic = wall unless given), what it says
// and the idle time.
struct Step {
    std::int64_t wallMs;
    ActivityState state;
    std::string title;
    std::optional<std::int64_t> idleMs = std::nullopt;
    std::optional<std::int64_t> monotonicMs = std::nullopt;
};

struct Span {
    std::int64_t startMs;
    std::int64_t endMs;
    ActivityState state;
    std::string title;
    friend bool operator==(const Span&, const Span&) = default;
};

std::ostream& operator<<(std::ostream& out, const Span& span) {
    return out << "[" << span.startMs << ", " << span.endMs << "] "
               << logformat::stateName(span.state) << " '" << span.title << "'";
}

// Runs the steps, then stops at STOP_MS; every event the builder gave, in order.
std::vector<Span> run(const std::vector<Step>& steps, std::int64_t stopMs,
                      std::int64_t gapMs = 15'000) {
    EventBuilder builder;
    builder.settings.gapMs = gapMs;
    std::vector<LogEvent> events;
    for (const Step& step : steps) {
        Observation sample;
        sample.wallMs = step.wallMs;
        sample.monotonicMs = step.monotonicMs.value_or(step.wallMs);
        sample.what.state = step.state;
        sample.what.title = step.title;
        sample.what.pid = 7;
        sample.idleMs = step.idleMs;
        for (LogEvent& event : activity_log::observe(builder, sample)) {
            events.push_back(event);
        }
    }
    const std::int64_t stopMonotonic =
        steps.empty()
            ? stopMs
            : stopMs - steps.back().wallMs + steps.back().monotonicMs.value_or(steps.back().wallMs);
    for (LogEvent& event : activity_log::finish(builder, stopMs, stopMonotonic)) {
        events.push_back(event);
    }
    std::vector<Span> spans;
    for (const LogEvent& event : events) {
        spans.push_back({event.start.unixMs, event.end.unixMs, event.state, event.title});
    }
    return spans;
}

constexpr auto active = ActivityState::active;
constexpr auto idle = ActivityState::idle;
constexpr auto none = ActivityState::none;
constexpr auto unavailable = ActivityState::unavailable;

TEST(EventBuilder, SpansFollowTheSamples) {
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::int64_t stopMs;
        std::vector<Span> expected;
    };
    const Case cases[] = {
        {"one window extends one event to the stop",
         {{0, active, "a"}, {5000, active, "a"}, {10000, active, "a"}},
         12000,
         {{0, 12000, active, "a"}}},
        {"a change ends the event at the new sample, with no hole",
         {{0, active, "a"}, {5000, active, "a"}, {10000, active, "b"}, {15000, none, ""}},
         16000,
         {{0, 10000, active, "a"}, {10000, 15000, active, "b"}, {15000, 16000, none, ""}}},
        {"the same title in another state is another event",
         {{0, active, "a"}, {5000, unavailable, "a"}, {10000, active, "a"}},
         10000,
         {{0, 5000, active, "a"}, {5000, 10000, unavailable, "a"}}},
        {"a wall-clock gap (sleep) stays unrecorded",
         {{0, active, "a"}, {5000, active, "a"}, {60000, active, "a"}, {65000, active, "a"}},
         70000,
         {{0, 5000, active, "a"}, {60000, 70000, active, "a"}}},
        {"a monotonic gap (stopped, starved, the wall clock set back meanwhile) stays "
         "unrecorded",
         {{0, active, "a"}, {5000, active, "a"}, {10000, active, "a", std::nullopt, 60000}},
         12000,
         {{0, 5000, active, "a"}, {60000, 62000, active, "a"}}},
        {"just within the gap is no gap",
         {{0, active, "a"}, {15000, active, "a"}},
         15000,
         {{0, 15000, active, "a"}}},
        {"a stop long after the last sample ends at that sample",
         {{0, active, "a"}, {5000, active, "a"}},
         90000,
         {{0, 5000, active, "a"}}},
        {"idle begins at the last input and ends when input is seen again",
         {{0, active, "a", 0},
          {5000, active, "a", 1000},
          {10000, idle, "a", 6000},
          {15000, idle, "a", 11000},
          {20000, active, "a", 2000},
          {25000, active, "a", 100}},
         25000,
         {{0, 4000, active, "a"}, {4000, 18000, idle, "a"}, {18000, 25000, active, "a"}}},
        {"input seen only at the next sample ends idle no earlier than its last sample",
         {{0, idle, "a", 500000}, {5000, idle, "a", 505000}, {10000, active, "a", 9000}},
         10000,
         {{0, 5000, idle, "a"}, {5000, 10000, active, "a"}}},
        {"idle that began before the event takes it whole",
         {{0, active, "a", 0}, {5000, active, "b", 4000}, {10000, idle, "b", 9000}},
         12000,
         {{0, 5000, active, "a"}, {5000, 12000, idle, "b"}}},
        {"a lone sample before a gap has no length and no event",
         {{0, active, "a"}, {60000, active, "b"}},
         61000,
         {{60000, 61000, active, "b"}}},
        // The wall clock set back (each step gives its monotonic moment): time goes on by
        // the monotonic clock, no event starting before the last ended, until the wall
        // clock reads later again.
        {"a wall clock set back 8 s, less than the open event",
         {{100000, active, "a"},
          {105000, active, "a"},
          {110000, active, "a"},
          {115000, active, "a"},
          {112000, active, "a", std::nullopt, 120000},
          {117000, active, "b", std::nullopt, 125000}},
         118000,
         {{100000, 125000, active, "a"}, {125000, 126000, active, "b"}}},
        {"a wall clock set back 8 s, more than the events before",
         {{0, active, "a"},
          {5000, active, "b"},
          {10000, active, "c"},
          {2000, active, "c", std::nullopt, 15000},
          {7000, active, "d", std::nullopt, 20000}},
         8000,
         {{0, 5000, active, "a"},
          {5000, 10000, active, "b"},
          {10000, 20000, active, "c"},
          {20000, 21000, active, "d"}}},
        {"after a wall clock set back, idle is cut back to the last input on the carried time",
         {{0, active, "a", 0},
          {5000, active, "a", 1000},
          {2000, active, "a", 0, 10000},
          {7000, idle, "a", 5000, 15000}},
         8000,
         {{0, 10000, active, "a"}, {10000, 16000, idle, "a"}}},
        {"a wall clock set back takes over once it reads later again (a sleep)",
         {{0, active, "a"},
          {5000, active, "a"},
          {1000, active, "a", std::nullopt, 10000},
          {6000, active, "a", std::nullopt, 15000},
          {60000, active, "a", std::nullopt, 20000}},
         62000,
         {{0, 15000, active, "a"}, {60000, 62000, active, "a"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.steps, c.stopMs), c.expected) << c.what;
    }
}

TEST(EventBuilder, SplitsAtLocalMidnight) {
    // UTC+01:00: local midnight of 2026-12-08 is 2026-12-07T23:00Z.
    const std::int64_t midnight =
        logformat::daysFromCivil({2026, 12, 8}) * logformat::millisecondsPerDay - 3'600'000;
    EventBuilder builder;
    builder.settings.offsetAt = [](std::int64_t) { return 60; };
    std::vector<LogEvent> events;
    for (std::int64_t at = midnight - 7000; at <= midnight + 8000; at += 5000) {
        Observation sample;
        sample.wallMs = sample.monotonicMs = at;
        sample.what.title = "late";
        for (LogEvent& event : activity_log::observe(builder, sample)) {
            events.push_back(event);
        }
    }
    for (LogEvent& event : activity_log::finish(builder, midnight + 9000, midnight + 9000)) {
        events.push_back(event);
    }
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].start.unixMs, midnight - 7000);
    EXPECT_EQ(events[0].end.unixMs, midnight);
    EXPECT_EQ(events[1].start.unixMs, midnight);
    EXPECT_EQ(events[1].end.unixMs, midnight + 9000);
    EXPECT_EQ(events[0].end.offsetMinutes, 60);
    EXPECT_EQ(logformat::localDate(events[0].start), (logformat::CivilDate{2026, 12, 7}));
    EXPECT_EQ(logformat::localDate(events[1].start), (logformat::CivilDate{2026, 12, 8}));
    EXPECT_EQ(events[1].title, "late");
}

TEST(EventBuilder, EndsCarryTheOffsetOfTheirOwnMoment) {
    // +01:00 until 2026-03-29T01:00Z, then +02:00: the clocks go from 02:00 to 03:00.
    const std::int64_t change = 1'774'746'000'000;
    const auto europe = [change](std::int64_t unixMs) { return unixMs < change ? 60 : 120; };
    struct Case {
        const char* what;
        std::vector<std::string> titles; // one sample each, 5 s apart from 7 s before the change
        std::vector<std::pair<std::string, std::string>> events; // start, end
    };
    const Case cases[] = {
        {"one event across the change",
         {"a", "a", "a", "a"},
         {{"2026-03-29T01:59:53.000+01:00", "2026-03-29T03:00:09.000+02:00"}}},
        {"a hand-over after the change",
         {"a", "a", "b", "b"},
         {{"2026-03-29T01:59:53.000+01:00", "2026-03-29T03:00:03.000+02:00"},
          {"2026-03-29T03:00:03.000+02:00", "2026-03-29T03:00:09.000+02:00"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EventBuilder builder;
        builder.settings.offsetAt = europe;
        std::vector<LogEvent> events;
        std::int64_t at = change - 7000;
        for (const std::string& title : c.titles) {
            Observation sample;
            sample.wallMs = sample.monotonicMs = at;
            sample.what.title = title;
            for (LogEvent& event : activity_log::observe(builder, sample)) {
                events.push_back(event);
            }
            at += 5000;
        }
        for (LogEvent& event : activity_log::finish(builder, change + 9000, change + 9000)) {
            events.push_back(event);
        }
        std::vector<std::pair<std::string, std::string>> got;
        for (const LogEvent& event : events) {
            got.emplace_back(logformat::formatTimestamp(event.start),
                             logformat::formatTimestamp(event.end));
        }
        EXPECT_EQ(got, c.events);
    }
}

activity_log::Sample windowSample(const std::string& title, const std::string& name) {
    activity_log::Sample sample;
    sample.window = true;
    sample.title = title;
    sample.curatedTitle = title + " c";
    sample.doc = title + " d";
    sample.url = "C:/" + title;
    sample.pid = 42;
    sample.name = name;
    sample.path = "/x/" + name;
    sample.category = 8;
    return sample;
}

TEST(ActivityRules, WhatASampleSays) {
    activity_log::ActivityRules rules;
    rules.idleAfterMs = 1000;
    rules.keepActive = activity_log::compilePatterns({"^Zoom$"});
    rules.exclude = activity_log::compilePatterns({"Bank", "^Secret App$"});

    const auto word = describeSample(windowSample("report", "Microsoft Word"), 10, rules);
    EXPECT_EQ(word.state, active);
    EXPECT_EQ(word.title, "report");
    EXPECT_EQ(word.curatedTitle, "report c");
    EXPECT_EQ(word.doc, "report d");
    EXPECT_EQ(word.url, "C:/report");
    EXPECT_EQ(word.pid, 42u);
    EXPECT_EQ(word.app, "Microsoft Word");
    EXPECT_EQ(word.exePath, "/x/Microsoft Word");
    EXPECT_EQ(word.category, 8);

    EXPECT_EQ(describeSample(windowSample("report", "Microsoft Word"), 1000, rules).state, idle);
    EXPECT_EQ(describeSample(windowSample("report", "Microsoft Word"), std::nullopt, rules).state,
              active)
        << "unknown idle time is not idle";
    EXPECT_EQ(describeSample(windowSample("call", "Zoom"), 999999, rules).state, active);
    EXPECT_EQ(describeSample(windowSample("", "Locked screen"), 999999, rules).state,
              ActivityState::locked);
    // A session the login manager calls locked is locked, whatever window is behind the
    // lock screen, and none of that window's text is kept.
    for (const auto& sample : std::initializer_list<std::optional<activity_log::Sample>>{
             windowSample("report", "Microsoft Word"), windowSample("call", "Zoom"),
             std::nullopt}) {
        const auto locked = describeSample(sample, 0, rules, true);
        EXPECT_EQ(locked.state, ActivityState::locked);
        EXPECT_EQ(locked.title + locked.app + locked.exePath + locked.doc, "");
        EXPECT_EQ(locked.pid, 0u);
    }
    activity_log::Sample noWindow;
    EXPECT_EQ(describeSample(noWindow, 0, rules).state, none);
    EXPECT_EQ(describeSample(std::nullopt, 0, rules).state, unavailable);

    for (const auto& sample : {windowSample("My Bank - statement", "Mozilla Firefox"),
                               windowSample("x", "Secret App")}) {
        const auto excluded = describeSample(sample, 0, rules);
        EXPECT_EQ(excluded.title, "excluded");
        EXPECT_EQ(excluded.curatedTitle, "");
        EXPECT_EQ(excluded.doc, "");
        EXPECT_EQ(excluded.url, "");
        EXPECT_EQ(excluded.app, sample.name) << "its time still counts for the application";
        EXPECT_EQ(excluded.state, active);
    }
}

} // namespace
