// Reading an event line with RapidJSON's reader: strict JSON, strict UTF-8, and no
// document tree: each value goes straight into the event (the fastest of the candidates
// that bench/log_parse_bench.cpp compares).
#include "logformat/log_event.h"

#include <rapidjson/reader.h>

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
    LogEvent event;
    unsigned seen = 0; // a bit per Field
    int depth = 0;
    bool rootIsObject = false;
    Field key = Field::other;
    bool take = false; // the current value is one to keep

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
            event.title.assign(value);
            return true;
        case Field::curatedTitle:
            event.curatedTitle.assign(value);
            return true;
        case Field::doc:
            event.doc.assign(value);
            return true;
        case Field::url:
            event.url.assign(value);
            return true;
        case Field::app:
            event.app.assign(value);
            return true;
        case Field::exePath:
            event.exePath.assign(value);
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

std::optional<LogEvent> parseLogEvent(std::string_view line) {
    // A raw NUL is never JSON, and the reader would take it for the end.
    if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
        return std::nullopt;
    }
    // Parsed in place, in a copy: strings are unescaped where they stand and handed over
    // without a copy of the reader's own, which counts on long titles.
    // The copy's storage is kept from line to line, one per thread.
    thread_local std::string buffer;
    buffer.assign(line);
    rapidjson::InsituStringStream input(buffer.data());
    EventHandler handler;
    rapidjson::Reader reader;
    // Anything but white space after the object is an error too.
    if (!reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseValidateEncodingFlag>(
            input, handler) ||
        !handler.rootIsObject) {
        return std::nullopt;
    }
    constexpr unsigned required =
        bitOf(Field::start) | bitOf(Field::end) | bitOf(Field::seconds) | bitOf(Field::state);
    if ((handler.seen & required) != required) {
        return std::nullopt;
    }
    return std::move(handler.event);
}

} // namespace logformat
