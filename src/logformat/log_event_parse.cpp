// Reading an event line: the collector's own lines by the fast path, any other JSON with
// RapidJSON's reader: strict JSON, strict UTF-8, nesting bounded, and no document tree:
// each value goes straight into the event (the fastest of the general readers that
// bench/log_parse_bench.cpp compares).
#include "logformat/json_read.h"
#include "logformat/log_event.h"
#include "logformat/log_event_scan.h"

#include <cstring>

namespace logformat {

namespace {

enum class Field {
    start,
    end,
    seconds,
    state,
    title,
    curatedTitle,
    doc,
    url,
    pid,
    app,
    exePath,
    category,
    other
};

Field keyOf(std::string_view name) {
    static constexpr std::pair<std::string_view, Field> keys[] = {
        {"start", Field::start},      {"end", Field::end},
        {"seconds", Field::seconds},  {"state", Field::state},
        {"title", Field::title},      {"curated_title", Field::curatedTitle},
        {"doc", Field::doc},          {"url", Field::url},
        {"pid", Field::pid},          {"app", Field::app},
        {"exe_path", Field::exePath}, {"category", Field::category},
    };
    for (const auto& [text, key] : keys) {
        if (text == name) {
            return key;
        }
    }
    return Field::other;
}

// Takes the top-level members of one object. A key met again keeps its first value,
// and values of keys it doesn't know (of any shape) are passed over.
struct EventHandler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, EventHandler> {
    LogEvent& event;
    unsigned keep;
    unsigned seen = 0; // a bit per Field
    int depth = 0;
    bool rootIsObject = false;
    Field key = Field::other;
    bool take = false; // the current value is one to keep

    EventHandler(LogEvent& into, unsigned fields) : event(into), keep(fields) {}

    // The reader checks the line's bytes, but a lone surrogate's escape ("\udc00") still
    // comes out as its three-byte encoding, which isn't UTF-8: it becomes U+FFFD, as the
    // writer does it.
    void keepText(std::string& field, unsigned bit, std::string_view value) {
        if ((keep & bit) == 0) {
            return;
        }
        if (value.find('\xED') == std::string_view::npos) {
            field.assign(value);
            return;
        }
        field.clear();
        for (std::size_t at = 0; at < value.size(); ++at) {
            if (value[at] == '\xED' && at + 2 < value.size() &&
                static_cast<unsigned char>(value[at + 1]) >= 0xA0) {
                field += "\xEF\xBF\xBD";
                at += 2;
            } else {
                field += value[at];
            }
        }
    }

    bool Key(const char* text, rapidjson::SizeType length, bool) {
        if (depth != 1) {
            return true;
        }
        key = keyOf(std::string_view(text, length));
        const unsigned bit = 1u << static_cast<unsigned>(key);
        take = key != Field::other && (seen & bit) == 0;
        seen |= bit;
        return true;
    }
    // A value of the wrong type for a key it keeps refuses the line.
    bool Default() { return !(depth == 1 && take); }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        if (depth != 1 || !take) {
            return true;
        }
        const std::string_view value(text, length);
        switch (key) {
        case Field::start:
        case Field::end: {
            const auto moment = parseTimestamp(value);
            if (!moment) {
                return false;
            }
            (key == Field::start ? event.start : event.end) = *moment;
            return true;
        }
        case Field::state: {
            const auto state = stateFromName(value);
            if (!state) {
                return false;
            }
            event.state = *state;
            return true;
        }
        case Field::title:
            keepText(event.title, textField::title, value);
            return true;
        case Field::curatedTitle:
            keepText(event.curatedTitle, textField::curatedTitle, value);
            return true;
        case Field::doc:
            keepText(event.doc, textField::doc, value);
            return true;
        case Field::url:
            keepText(event.url, textField::url, value);
            return true;
        case Field::app:
            keepText(event.app, textField::app, value);
            return true;
        case Field::exePath:
            keepText(event.exePath, textField::exePath, value);
            return true;
        default:
            return false;
        }
    }
    bool number(bool isUnsigned, std::uint64_t magnitude, bool isNegative, bool integral) {
        if (depth != 1 || !take) {
            return true;
        }
        switch (key) {
        case Field::seconds:
            return true;
        case Field::pid:
            if (!integral || !isUnsigned) {
                return false;
            }
            event.pid = magnitude;
            return true;
        case Field::category:
            if (!integral || (!isNegative && magnitude > static_cast<std::uint64_t>(INT64_MAX))) {
                return false;
            }
            event.category = isNegative ? static_cast<std::int64_t>(0 - magnitude)
                                        : static_cast<std::int64_t>(magnitude);
            return true;
        default:
            return false;
        }
    }
    bool Int(int i) { return Int64(i); }
    bool Uint(unsigned u) { return number(true, u, false, true); }
    bool Int64(std::int64_t i) {
        return i < 0 ? number(false, 0 - static_cast<std::uint64_t>(i), true, true)
                     : number(true, static_cast<std::uint64_t>(i), false, true);
    }
    bool Uint64(std::uint64_t u) { return number(true, u, false, true); }
    bool Double(double) { return number(false, 0, false, false); }
    bool StartObject() {
        if (depth == 0) {
            rootIsObject = true;
        } else if (depth == 1 && take) {
            return false;
        }
        ++depth;
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        --depth;
        return true;
    }
    bool StartArray() {
        if (depth == 0 || (depth == 1 && take)) {
            return false;
        }
        ++depth;
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        --depth;
        return true;
    }
};

constexpr unsigned bitOf(Field key) {
    return 1u << static_cast<unsigned>(key);
}

} // namespace

bool readLogEvent(std::string_view line, LogEvent& event, unsigned keep) {
    std::size_t length = 0;
    switch (scanLogEvent(line, event, keep, length)) {
    case ScanResult::event:
        return true;
    case ScanResult::notAnEvent:
        return false;
    case ScanResult::otherShape:
        break;
    }
    return readAnyLogEvent(line, event, keep);
}

bool readAnyLogEvent(std::string_view line, LogEvent& event, unsigned keep) {
    // A raw NUL is never JSON, and the reader would take it for the end.
    if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
        return false;
    }
    // Parsed in place, in a copy: strings are unescaped where they stand and handed over
    // without a copy of the reader's own, which counts on long titles.
    // The copy's storage is kept from line to line, one per thread.
    // The encoding check takes a sequence's continuation bytes before it judges them, so
    // a line cut inside a sequence would be read past its end: three more NULs stop it.
    thread_local std::string buffer;
    buffer.assign(line);
    buffer.append(3, '\0');
    rapidjson::InsituStringStream input(buffer.data());
    event = LogEvent{};
    EventHandler handler(event, keep);
    // Anything but white space after the object is an error too.
    if (!readJson<rapidjson::kParseInsituFlag | rapidjson::kParseValidateEncodingFlag>(input,
                                                                                       handler) ||
        !handler.rootIsObject) {
        return false;
    }
    constexpr unsigned required =
        bitOf(Field::start) | bitOf(Field::end) | bitOf(Field::seconds) | bitOf(Field::state);
    return (handler.seen & required) == required;
}

std::optional<LogEvent> parseLogEvent(std::string_view line) {
    LogEvent event;
    if (!readLogEvent(line, event)) {
        return std::nullopt;
    }
    return event;
}

} // namespace logformat
