// Writing an event line: the fixed key order, JSON escapes, strict UTF-8.
#include "logformat/log_event.h"
#include "logformat/utf8_sequence.h"

#include <array>
#include <cstdio>

namespace logformat {

namespace {

constexpr std::array<std::string_view, 5> stateNames = {"active", "idle", "locked", "none",
                                                        "unavailable"};

} // namespace

void appendUtf8(std::string& out, char32_t c) {
    const auto byte = [](char32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
    if (c < 0x80) {
        out += byte(c);
    } else if (c < 0x800) {
        out += byte(0xC0 | (c >> 6));
        out += byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += byte(0xE0 | (c >> 12));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    } else {
        out += byte(0xF0 | (c >> 18));
        out += byte(0x80 | ((c >> 12) & 0x3F));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    }
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++at;
        } else if (c < 0x20) {
            static constexpr char shortForms[] = "btn\0fr";
            if (c >= 0x08 && c <= 0x0D && c != 0x0B) {
                out += '\\';
                out += shortForms[c - 0x08];
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
                out += escaped;
            }
            ++at;
        } else if (const std::size_t length = validUtf8Sequence(text, at); length > 0) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++at;
        }
    }
    out += '"';
}

std::string_view stateName(ActivityState state) {
    return stateNames[static_cast<std::size_t>(state)];
}

std::optional<ActivityState> stateFromName(std::string_view name) {
    for (std::size_t i = 0; i < stateNames.size(); ++i) {
        if (stateNames[i] == name) {
            return static_cast<ActivityState>(i);
        }
    }
    return std::nullopt;
}

std::string formatLogEvent(const LogEvent& event) {
    std::string out;
    out.reserve(256 + event.title.size() + event.curatedTitle.size() + event.doc.size() +
                event.url.size() + event.exePath.size());
    out += "{\"start\": \"";
    out += formatTimestamp(event.start);
    out += "\", \"end\": \"";
    out += formatTimestamp(event.end);
    const std::int64_t ms = durationMs(event);
    const std::int64_t magnitude = ms < 0 ? -ms : ms;
    char seconds[40];
    std::snprintf(seconds, sizeof seconds, "%s%lld.%03lld", ms < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 1000),
                  static_cast<long long>(magnitude % 1000));
    out += "\", \"seconds\": ";
    out += seconds;
    out += ", \"state\": \"";
    out += stateName(event.state);
    out += "\", \"title\": ";
    appendJsonString(out, event.title);
    out += ", \"curated_title\": ";
    appendJsonString(out, event.curatedTitle);
    out += ", \"doc\": ";
    appendJsonString(out, event.doc);
    out += ", \"url\": ";
    appendJsonString(out, event.url);
    out += ", \"pid\": ";
    out += std::to_string(event.pid);
    out += ", \"app\": ";
    appendJsonString(out, event.app);
    out += ", \"exe_path\": ";
    appendJsonString(out, event.exePath);
    out += ", \"category\": ";
    out += std::to_string(event.category);
    out += "}\n";
    return out;
}

} // namespace logformat
