#include "activity_report/day_summary.h"

#include "activity_report/day_log.h"
#include "activity_report/totals.h"
#include "logformat/json_read.h"

#include <algorithm>

namespace report {

using logformat::ActivityState;

int presenceOf(ActivityState state) {
    switch (state) {
    case ActivityState::active:
        return 4;
    case ActivityState::idle:
    case ActivityState::locked:
        return 3;
    case ActivityState::none:
        return 2;
    case ActivityState::unavailable:
        return 1;
    }
    return 0;
}

void addTime(GroupTimes& times, std::string_view name, std::int64_t ms) {
    if (const auto found = times.find(name); found != times.end()) {
        found->second += ms;
    } else {
        times.emplace(name, ms);
    }
}

void SummaryBuilder::add(const logformat::LogEvent& event, std::string_view project) {
    const std::int64_t ms = logformat::durationMs(event);
    if (ms <= 0) {
        return; // no time: no piece of any day
    }
    if (localDayNumber(event.start.unixMs, event.start.offsetMinutes) != day_ ||
        logformat::nextMidnight(event.start, event.end)) {
        selfContained_ = false;
        return;
    }
    summary_.byState[static_cast<std::size_t>(event.state)] += ms;
    if (event.state == ActivityState::active) {
        std::string scratch;
        for (std::size_t by = 0; by < groupingCount; ++by) {
            addTime(groups_[by], groupName(event, static_cast<GroupBy>(by), scratch), ms);
        }
        if (!rulesDigest_.empty()) {
            addTime(projects_, project, ms);
        }
    }
    if (!summary_.first || event.start.unixMs < summary_.first->unixMs) {
        summary_.first = event.start;
    }
    if (!summary_.last || event.end.unixMs > summary_.last->unixMs) {
        summary_.last = event.end;
    }
    const int presence = presenceOf(event.state);
    std::vector<PresenceSpan>& spans = summary_.presence;
    if (!spans.empty() && spans.back().presence == presence &&
        spans.back().toMs == event.start.unixMs) {
        spans.back().toMs = event.end.unixMs;
    } else {
        spans.push_back({event.start.unixMs, event.end.unixMs, presence});
    }
}

DaySummary SummaryBuilder::finish(const SourceStamp& source, std::uint64_t skippedLines) {
    DaySummary summary = std::move(summary_);
    summary.source = source;
    summary.skippedLines = skippedLines;
    for (std::size_t by = 0; by < groupingCount; ++by) {
        summary.groups[by].assign(groups_[by].begin(), groups_[by].end());
        // The same bytes for the same day, whatever the hash table's order.
        std::sort(summary.groups[by].begin(), summary.groups[by].end());
    }
    if (!rulesDigest_.empty()) {
        summary.rulesDigest = rulesDigest_;
        summary.projects.assign(projects_.begin(), projects_.end());
        std::sort(summary.projects.begin(), summary.projects.end());
    }
    return summary;
}

namespace {

void appendNumber(std::string& out, std::int64_t value) {
    out += std::to_string(value);
}

void appendTimestamp(std::string& out, const std::optional<logformat::Timestamp>& moment) {
    if (moment) {
        out += '"';
        out += logformat::formatTimestamp(*moment);
        out += '"';
    } else {
        out += "null";
    }
}

std::optional<std::int64_t> integer(const rapidjson::Value& value) {
    if (!value.IsInt64()) {
        return std::nullopt;
    }
    return value.GetInt64();
}

std::optional<std::optional<logformat::Timestamp>> moment(const rapidjson::Value& value) {
    if (value.IsNull()) {
        return std::optional<logformat::Timestamp>();
    }
    if (!value.IsString()) {
        return std::nullopt;
    }
    const auto parsed =
        logformat::parseTimestamp(std::string_view(value.GetString(), value.GetStringLength()));
    if (!parsed) {
        return std::nullopt;
    }
    return std::optional<logformat::Timestamp>(*parsed);
}

} // namespace

std::string formatSummary(const DaySummary& summary) {
    const auto listOf = [](const GroupList& groups) {
        std::string out = "[";
        for (const auto& [name, ms] : groups) {
            out += out.size() == 1 ? "[" : ", [";
            logformat::appendJsonString(out, name);
            out += ", ";
            appendNumber(out, ms);
            out += "]";
        }
        out += "]\n";
        return out;
    };
    std::string lists[groupingCount];
    for (std::size_t by = 0; by < groupingCount; ++by) {
        lists[by] = listOf(summary.groups[by]);
    }
    const bool withProjects = !summary.rulesDigest.empty();
    const std::string projects = withProjects ? listOf(summary.projects) : std::string();
    std::string out = "{\"version\": " + std::to_string(summaryVersion) +
                      ", \"size\": " + std::to_string(summary.source.size) +
                      ", \"time\": " + std::to_string(summary.source.time) +
                      ", \"skipped\": " + std::to_string(summary.skippedLines) + ", \"first\": ";
    appendTimestamp(out, summary.first);
    out += ", \"last\": ";
    appendTimestamp(out, summary.last);
    out += ", \"states\": [";
    for (std::size_t s = 0; s < summary.byState.size(); ++s) {
        out += s == 0 ? "" : ", ";
        appendNumber(out, summary.byState[s]);
    }
    out += "], \"presence\": [";
    for (std::size_t i = 0; i < summary.presence.size(); ++i) {
        const PresenceSpan& span = summary.presence[i];
        out += i == 0 ? "[" : ", [";
        appendNumber(out, span.fromMs);
        out += ", ";
        appendNumber(out, span.toMs);
        out += ", " + std::to_string(span.presence) + "]";
    }
    out += "], \"sections\": [";
    // The projects' list first, where the first read of the file finds it: the title
    // list before it could run to many kilobytes.
    std::size_t at = projects.size();
    for (std::size_t by = 0; by < groupingCount; ++by) {
        out += by == 0 ? "[" : ", [";
        out += std::to_string(at) + ", " + std::to_string(lists[by].size()) + "]";
        at += lists[by].size();
    }
    out += "]";
    // Members a reader of the fixed groupings alone passes over.
    if (withProjects) {
        out += ", \"rules\": ";
        logformat::appendJsonString(out, summary.rulesDigest);
        out += ", \"projects\": [0, " + std::to_string(projects.size()) + "]";
    }
    out += "}\n";
    out += projects;
    for (const std::string& list : lists) {
        out += list;
    }
    return out;
}

std::optional<SummaryHeader> parseSummaryHeader(std::string_view line) {
    rapidjson::Document document;
    if (!logformat::readJsonDocument(line, document) || !document.IsObject()) {
        return std::nullopt;
    }
    const auto member = [&](const char* name) -> const rapidjson::Value* {
        const auto found = document.FindMember(name);
        return found == document.MemberEnd() ? nullptr : &found->value;
    };
    const rapidjson::Value* version = member("version");
    if (version == nullptr || !version->IsInt() || version->GetInt() != summaryVersion) {
        return std::nullopt;
    }
    SummaryHeader header;
    DaySummary& s = header.summary;
    const rapidjson::Value *size = member("size"), *time = member("time"),
                           *skipped = member("skipped"), *first = member("first"),
                           *last = member("last"), *states = member("states"),
                           *presence = member("presence"), *sections = member("sections");
    if (size == nullptr || !size->IsUint64() || time == nullptr || !integer(*time) ||
        skipped == nullptr || !skipped->IsUint64() || first == nullptr || last == nullptr ||
        states == nullptr || !states->IsArray() || states->Size() != s.byState.size() ||
        presence == nullptr || !presence->IsArray() || sections == nullptr ||
        !sections->IsArray() || sections->Size() != groupingCount) {
        return std::nullopt;
    }
    s.source = {size->GetUint64(), *integer(*time)};
    s.skippedLines = skipped->GetUint64();
    const auto firstMoment = moment(*first), lastMoment = moment(*last);
    if (!firstMoment || !lastMoment) {
        return std::nullopt;
    }
    s.first = *firstMoment;
    s.last = *lastMoment;
    for (rapidjson::SizeType i = 0; i < states->Size(); ++i) {
        const auto ms = integer((*states)[i]);
        if (!ms) {
            return std::nullopt;
        }
        s.byState[i] = *ms;
    }
    for (const rapidjson::Value& span : presence->GetArray()) {
        if (!span.IsArray() || span.Size() != 3 || !integer(span[0]) || !integer(span[1]) ||
            !span[2].IsInt() || span[2].GetInt() < 1 || span[2].GetInt() > 4) {
            return std::nullopt;
        }
        s.presence.push_back({*integer(span[0]), *integer(span[1]), span[2].GetInt()});
    }
    for (rapidjson::SizeType by = 0; by < groupingCount; ++by) {
        const rapidjson::Value& range = (*sections)[by];
        if (!range.IsArray() || range.Size() != 2 || !range[0].IsUint64() || !range[1].IsUint64()) {
            return std::nullopt;
        }
        header.sections[by] = {range[0].GetUint64(), range[1].GetUint64()};
    }
    const rapidjson::Value *rules = member("rules"), *projects = member("projects");
    if (rules != nullptr || projects != nullptr) {
        if (rules == nullptr || !rules->IsString() || rules->GetStringLength() == 0 ||
            projects == nullptr || !projects->IsArray() || projects->Size() != 2 ||
            !(*projects)[0].IsUint64() || !(*projects)[1].IsUint64()) {
            return std::nullopt;
        }
        s.rulesDigest.assign(rules->GetString(), rules->GetStringLength());
        header.projectSection = {(*projects)[0].GetUint64(), (*projects)[1].GetUint64()};
    }
    return header;
}

bool sectionsFit(const SummaryHeader& header, std::uint64_t bodySize) {
    std::uint64_t at = 0;
    // Compared with what is left rather than added, so that no length wraps around.
    const auto follows = [&](const std::pair<std::size_t, std::size_t>& section) {
        if (section.first != at || section.second > bodySize - at) {
            return false;
        }
        at += section.second;
        return true;
    };
    if (header.projectSection && !follows(*header.projectSection)) {
        return false;
    }
    for (const auto& section : header.sections) {
        if (!follows(section)) {
            return false;
        }
    }
    return at == bodySize;
}

std::optional<GroupList> parseSummaryGroups(std::string_view text) {
    rapidjson::Document document;
    if (!logformat::readJsonDocument(text, document) || !document.IsArray()) {
        return std::nullopt;
    }
    GroupList groups;
    groups.reserve(document.Size());
    for (const rapidjson::Value& group : document.GetArray()) {
        if (!group.IsArray() || group.Size() != 2 || !group[0].IsString() || !integer(group[1])) {
            return std::nullopt;
        }
        groups.emplace_back(std::string(group[0].GetString(), group[0].GetStringLength()),
                            *integer(group[1]));
    }
    return groups;
}

} // namespace report
