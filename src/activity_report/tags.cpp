#include "activity_report/tags.h"

#include "logformat/log_event.h"
#include "text/utf8.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace report {

namespace {

using logformat::Timestamp;

const rapidjson::Value* member(const rapidjson::Value& object, const char* name) {
    const auto found = object.FindMember(name);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

std::optional<std::string_view> stringOf(const rapidjson::Value* value) {
    if (value == nullptr || !value->IsString()) {
        return std::nullopt;
    }
    return std::string_view(value->GetString(), value->GetStringLength());
}

std::optional<Timestamp> momentOf(const rapidjson::Value* value) {
    const auto text = stringOf(value);
    return text ? logformat::parseTimestamp(*text) : std::nullopt;
}

// One line: a tag, a removal (its id), or neither.
struct TagLine {
    std::optional<Tag> tag;
    std::optional<std::string> removal;
};

TagLine parseLine(std::string_view line) {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseValidateEncodingFlag>(line.data(), line.size());
    TagLine parsed;
    if (document.HasParseError() || !document.IsObject() || !momentOf(member(document, "made"))) {
        return parsed;
    }
    const std::int64_t made = momentOf(member(document, "made"))->unixMs;
    if (const auto removed = stringOf(member(document, "remove"))) {
        if (!removed->empty()) {
            parsed.removal = std::string(*removed);
        }
        return parsed;
    }
    const auto id = stringOf(member(document, "id"));
    const auto label = stringOf(member(document, "label"));
    const auto from = momentOf(member(document, "start"));
    const auto to = momentOf(member(document, "end"));
    if (id && !id->empty() && label && labelProblem(*label).empty() && from && to &&
        from->unixMs < to->unixMs) {
        parsed.tag = Tag{std::string(*id), from->unixMs, to->unixMs, normalLabel(*label), made};
    }
    return parsed;
}

void appendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

std::string formatOffset(std::int32_t minutes) {
    std::string out(1, minutes < 0 ? '-' : '+');
    const int magnitude = minutes < 0 ? -minutes : minutes;
    appendTwoDigits(out, magnitude / 60);
    out += ':';
    appendTwoDigits(out, magnitude % 60);
    return out;
}

// Digits at TEXT[AT], exactly COUNT of them.
std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::string formatTagLine(std::string_view id, const Timestamp& from, const Timestamp& to,
                          std::string_view label, const Timestamp& made) {
    std::string out = "{\"id\": ";
    logformat::appendJsonString(out, id);
    out += ", \"start\": \"" + logformat::formatTimestamp(from) + "\", \"end\": \"" +
           logformat::formatTimestamp(to) + "\", \"label\": ";
    logformat::appendJsonString(out, label);
    out += ", \"made\": \"" + logformat::formatTimestamp(made) + "\"}\n";
    return out;
}

std::string formatRemovalLine(std::string_view id, const Timestamp& made) {
    std::string out = "{\"remove\": ";
    logformat::appendJsonString(out, id);
    out += ", \"made\": \"" + logformat::formatTimestamp(made) + "\"}\n";
    return out;
}

TagFile parseTagFile(std::string_view text) {
    TagFile file;
    file.endsInLineEnd = text.empty() || text.back() == '\n';
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        TagLine parsed = parseLine(line);
        if (parsed.removal) {
            file.removed.push_back(std::move(*parsed.removal));
        } else if (parsed.tag &&
                   std::find(file.ids.begin(), file.ids.end(), parsed.tag->id) == file.ids.end()) {
            file.ids.push_back(parsed.tag->id);
            file.tags.push_back(std::move(*parsed.tag));
        } else {
            ++file.skippedLines; // damaged, or an id given twice
        }
    }
    std::erase_if(file.tags, [&](const Tag& tag) {
        return std::find(file.removed.begin(), file.removed.end(), tag.id) != file.removed.end();
    });
    return file;
}

std::optional<TagFile> readTagFile(const std::filesystem::path& directory) {
    const std::filesystem::path path = directory / tagFileName;
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) {
        return TagFile{};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return parseTagFile(bytes.str());
}

std::string newTagId(std::int64_t madeMs, const std::vector<std::string>& taken) {
    std::int64_t seconds = std::max<std::int64_t>(logformat::floorDiv(madeMs, 1000), 0);
    std::string base;
    do {
        base += "0123456789abcdefghijklmnopqrstuvwxyz"[seconds % 36];
        seconds /= 36;
    } while (seconds > 0);
    std::reverse(base.begin(), base.end());
    std::string id = base;
    for (int n = 2; std::find(taken.begin(), taken.end(), id) != taken.end(); ++n) {
        id = base + "-" + std::to_string(n);
    }
    return id;
}

std::string labelProblem(std::string_view label) {
    if (label.find_first_not_of(" \t") == std::string_view::npos) {
        return "a tag needs a label";
    }
    for (std::size_t at = 0; at < label.size();) {
        const text::Utf8Sequence sequence = text::decodeUtf8(label, at);
        if (!sequence.valid) {
            return "the label isn't UTF-8 text";
        }
        if (sequence.value < 0x20 || (sequence.value >= 0x7F && sequence.value < 0xA0)) {
            return "a label can't hold control characters";
        }
        at += sequence.length;
    }
    // "/" separates a project's levels, which can't be empty.
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = label.find('/', start);
        const std::string_view level = label.substr(start, slash - start);
        if (level.find_first_not_of(" \t") == std::string_view::npos) {
            return "a label's levels, between the slashes, can't be empty";
        }
        if (slash == std::string_view::npos) {
            return {};
        }
        start = slash + 1;
    }
}

std::string normalLabel(std::string_view label) {
    std::string path;
    while (true) {
        const std::size_t slash = label.find('/');
        std::string_view level = label.substr(0, slash);
        const std::size_t first = level.find_first_not_of(" \t");
        level = first == std::string_view::npos
                    ? std::string_view{}
                    : level.substr(first, level.find_last_not_of(" \t") - first + 1);
        path += level;
        if (slash == std::string_view::npos) {
            return path;
        }
        path += '/';
        label.remove_prefix(slash + 1);
    }
}

std::vector<Tag> tagsByMadeTime(std::vector<Tag> tags) {
    std::stable_sort(tags.begin(), tags.end(),
                     [](const Tag& a, const Tag& b) { return a.madeMs < b.madeMs; });
    return tags;
}

LocalTimeParse parseLocalTime(std::string_view text,
                              const std::function<std::int32_t(std::int64_t)>& offsetAt) {
    LocalTimeParse result;
    const std::string shape = "not a time of the form \"YYYY-MM-DD HH:MM\" (seconds, and an "
                              "offset such as +01:00, may follow): " +
                              std::string(text);
    const auto date = logformat::parseDate(text.substr(0, 10));
    const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2);
    if (!date || text.size() < 16 || (text[10] != ' ' && text[10] != 'T') || text[13] != ':' ||
        !hour || !minute || *hour > 23 || *minute > 59) {
        result.problem = shape;
        return result;
    }
    std::size_t at = 16;
    int second = 0, milli = 0;
    if (at < text.size() && text[at] == ':') {
        const auto s = digits(text, at + 1, 2);
        if (!s || *s > 59) {
            result.problem = shape;
            return result;
        }
        second = *s;
        at += 3;
        if (at < text.size() && text[at] == '.') {
            std::size_t count = 0;
            int scale = 100;
            for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++count) {
                milli += (text[at] - '0') * scale;
                scale /= 10;
            }
            if (count == 0 || count > 3) {
                result.problem = shape;
                return result;
            }
        }
    }
    const std::int64_t local = logformat::daysFromCivil(*date) * logformat::millisecondsPerDay +
                               std::int64_t{*hour} * 3'600'000 + std::int64_t{*minute} * 60'000 +
                               second * 1000 + milli;
    const std::string_view zone = text.substr(at);
    // An offset picks the moment; the file keeps it at the machine's own offset, as the
    // log does.
    if (zone == "Z") {
        result.moment = Timestamp{local, offsetAt(local)};
        return result;
    }
    if (!zone.empty()) {
        const auto h = digits(zone, 1, 2), m = digits(zone, 4, 2);
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' || !h || !m ||
            *m > 59) {
            result.problem = shape;
            return result;
        }
        const std::int32_t offset = (zone[0] == '-' ? -1 : 1) * (*h * 60 + *m);
        const std::int64_t moment = local - std::int64_t{offset} * 60'000;
        result.moment = Timestamp{moment, offsetAt(moment)};
        return result;
    }
    // The offsets in force around that day; the moment is the first one whose clock
    // read LOCAL, none when the clocks skipped it.
    const std::int64_t day = 86'400'000;
    const std::int32_t candidates[] = {offsetAt(local - 2 * day), offsetAt(local),
                                       offsetAt(local + 2 * day)};
    for (const std::int32_t offset : candidates) {
        const std::int64_t moment = local - std::int64_t{offset} * 60'000;
        if (offsetAt(moment) == offset && (!result.moment || moment < result.moment->unixMs)) {
            result.moment = Timestamp{moment, offset};
        }
    }
    if (!result.moment) {
        result.problem =
            "there is no " + std::string(text) + " in this time zone: the clocks skipped it";
    }
    return result;
}

std::string formatLocalTime(std::int64_t unixMs,
                            const std::function<std::int32_t(std::int64_t)>& offsetAt) {
    const std::int32_t offset = offsetAt(unixMs);
    const std::int64_t local = unixMs + std::int64_t{offset} * 60'000;
    const std::int64_t day = logformat::floorDiv(local, logformat::millisecondsPerDay);
    const std::int64_t inDay = local - day * logformat::millisecondsPerDay;
    std::string out = logformat::formatDate(logformat::civilFromDays(day)) + " ";
    appendTwoDigits(out, static_cast<int>(inDay / 3'600'000));
    out += ':';
    appendTwoDigits(out, static_cast<int>(inDay / 60'000 % 60));
    const int second = static_cast<int>(inDay / 1000 % 60), milli = static_cast<int>(inDay % 1000);
    if (second != 0 || milli != 0) {
        out += ':';
        appendTwoDigits(out, second);
    }
    if (milli != 0) {
        out += '.';
        out += static_cast<char>('0' + milli / 100);
        appendTwoDigits(out, milli % 100);
    }
    const auto back = parseLocalTime(out, offsetAt);
    if (!back.moment || back.moment->unixMs != unixMs) {
        out += formatOffset(offset);
    }
    return out;
}

} // namespace report
