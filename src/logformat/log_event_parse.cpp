// Reading an event line with RapidJSON: strict JSON, strict UTF-8.
#include "logformat/log_event.h"

#include <rapidjson/document.h>

namespace logformat {

namespace {

using Value = rapidjson::Value;

bool takeString(const Value& object, const char* key, std::string& out, bool required) {
    const auto member = object.FindMember(key);
    if (member == object.MemberEnd()) {
        return !required;
    }
    if (!member->value.IsString()) {
        return false;
    }
    out.assign(member->value.GetString(), member->value.GetStringLength());
    return true;
}

bool takeTimestamp(const Value& object, const char* key, Timestamp& out) {
    const auto member = object.FindMember(key);
    if (member == object.MemberEnd() || !member->value.IsString()) {
        return false;
    }
    const auto moment = parseTimestamp(
        std::string_view(member->value.GetString(), member->value.GetStringLength()));
    if (!moment) {
        return false;
    }
    out = *moment;
    return true;
}

} // namespace

std::optional<LogEvent> parseLogEvent(std::string_view line) {
    rapidjson::Document document;
    // Anything but white space after the object is an error too.
    document.Parse<rapidjson::kParseValidateEncodingFlag>(line.data(), line.size());
    if (document.HasParseError() || !document.IsObject()) {
        return std::nullopt;
    }
    LogEvent event;
    std::string state;
    if (!takeTimestamp(document, "start", event.start) ||
        !takeTimestamp(document, "end", event.end) || !takeString(document, "state", state, true)) {
        return std::nullopt;
    }
    const auto known = stateFromName(state);
    const auto seconds = document.FindMember("seconds");
    if (!known || seconds == document.MemberEnd() || !seconds->value.IsNumber()) {
        return std::nullopt;
    }
    event.state = *known;
    if (!takeString(document, "title", event.title, false) ||
        !takeString(document, "curated_title", event.curatedTitle, false) ||
        !takeString(document, "doc", event.doc, false) ||
        !takeString(document, "url", event.url, false) ||
        !takeString(document, "app", event.app, false) ||
        !takeString(document, "exe_path", event.exePath, false)) {
        return std::nullopt;
    }
    if (const auto pid = document.FindMember("pid"); pid != document.MemberEnd()) {
        if (!pid->value.IsUint64()) {
            return std::nullopt;
        }
        event.pid = pid->value.GetUint64();
    }
    if (const auto category = document.FindMember("category"); category != document.MemberEnd()) {
        if (!category->value.IsInt64()) {
            return std::nullopt;
        }
        event.category = category->value.GetInt64();
    }
    return event;
}

} // namespace logformat
