// Writing an event line: the fixed key order, JSON escapes, strict UTF-8.
#include "logformat/log_event.h"

#include <array>
#include <cstdio>

namespace logformat {

namespace {

constexpr std::array<std::string_view, 5> stateNames = {"active", "idle", "locked", "none",
                                                        "unavailable"};

// Length of the valid UTF-8 sequence at text[at], or 0 when it isn't one.
std::size_t validSequence(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = at + 2; i < at + length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

} // namespace

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
        } else if (const std::size_t length = validSequence(text, at); length > 0) {
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
