#include "activity_report/tags.h"

#include "activity_report/project_tree.h"
#include "logformat/json_read.h"
#include "logformat/log_event.h"
#include "text/utf8.h"

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
    TagLine parsed;
    if (!logformat::readJsonDocument(line, document) || !document.IsObject() ||
        !momentOf(member(document, "made"))) {
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
    if (projectLevels(label) > maxProjectLevels) {
        return "a label can't have more than " + std::to_string(maxProjectLevels) + " levels";
    }
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

} // namespace report
