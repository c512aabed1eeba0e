// The fast path of reading an event line: the exact shape the collector writes (its keys
// in their order, its separators, its number forms, strings without escapes), read in
// one pass with no copy of the line. Anything else is left to the general reader.
#include "logformat/log_event_scan.h"

#include "text/utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace logformat {

namespace {

struct Scanner {
    const char* at;
    const char* end;

    // The key separators: their length is known here, so the comparison is inlined.
    template <std::size_t N> bool literal(const char (&text)[N]) {
        constexpr std::size_t length = N - 1;
        if (static_cast<std::size_t>(end - at) < length || std::memcmp(at, text, length) != 0) {
            return false;
        }
        at += length;
        return true;
    }

    // Eight bytes at once while none of them ends the string or needs a look: a quote,
    // a backslash, a control character or a byte of a multi-byte character.
    void skipPlain() {
        constexpr std::uint64_t ones = 0x0101010101010101ULL;
        constexpr std::uint64_t highs = 0x8080808080808080ULL;
        while (end - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, at, 8);
            // Any byte zero, below 0x20 or above 0x7F, with the usual word tricks.
            const auto anyZero = [&](std::uint64_t v) { return (v - ones) & ~v & highs; };
            const std::uint64_t special = (word & highs) | ((word - ones * 0x20) & ~word & highs) |
                                          anyZero(word ^ (ones * '"')) |
                                          anyZero(word ^ (ones * '\\'));
            if (special != 0) {
                // The lowest flag marks the first such byte exactly.
                if constexpr (std::endian::native == std::endian::little) {
                    at += std::countr_zero(special) / 8;
                }
                return;
            }
            at += 8;
        }
    }

    // One escape after its backslash, appended to OUT: the collector's escapes and
    // JSON's others; a \u escape of a surrogate is left to the general reader.
    bool escape(std::string& out) {
        if (at == end) {
            return false;
        }
        static constexpr std::string_view shortForms = "\"\\/bfnrt";
        static constexpr std::string_view shortBytes = "\"\\/\b\f\n\r\t";
        const char c = *at++;
        if (const auto found = shortForms.find(c); found != std::string_view::npos) {
            out += shortBytes[found];
            return true;
        }
        if (c != 'u' || end - at < 4) {
            return false;
        }
        char32_t unit = 0;
        for (int i = 0; i < 4; ++i, ++at) {
            const char h = *at;
            const int digit = h >= '0' && h <= '9'   ? h - '0'
                              : h >= 'a' && h <= 'f' ? h - 'a' + 10
                              : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return false;
            }
            unit = unit * 16 + static_cast<char32_t>(digit);
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            return false;
        }
        text::appendUtf8(out, unit);
        return true;
    }

    // A string's text after its opening quote, up to the closing quote (passed over):
    // a view of the line, or of SCRATCH when it holds escapes. False for a control
    // character, bytes that aren't UTF-8 or an escape this reader leaves alone.
    bool string(std::string_view& text, std::string& scratch) {
        const char* run = at;
        bool escaped = false;
        for (;;) {
            skipPlain();
            if (at == end) {
                return false;
            }
            const auto c = static_cast<unsigned char>(*at);
            if (c == '"') {
                if (escaped) {
                    scratch.append(run, at);
                    text = scratch;
                } else {
                    text = std::string_view(run, static_cast<std::size_t>(at - run));
                }
                ++at;
                return true;
            }
            if (c == '\\') {
                if (!escaped) {
                    scratch.clear();
                    escaped = true;
                }
                scratch.append(run, at);
                ++at;
                if (!escape(scratch)) {
                    return false;
                }
                run = at;
                continue;
            }
            if (c < 0x20) {
                return false;
            }
            if (c < 0x80) {
                ++at;
                continue;
            }
            const std::string_view rest(at, static_cast<std::size_t>(end - at));
            const text::Utf8Sequence sequence = text::decodeUtf8(rest, 0);
            if (!sequence.valid) {
                return false;
            }
            at += sequence.length;
        }
    }

    bool quoted(std::string_view& text, std::string& scratch) {
        return literal("\"") && string(text, scratch);
    }

    // Digits without a leading zero (a lone "0" aside), at most MAX_DIGITS of them.
    bool digits(std::uint64_t& value, int maxDigits) {
        value = 0;
        const char* const from = at;
        while (at < end && *at >= '0' && *at <= '9') {
            if (at - from == maxDigits) {
                return false;
            }
            value = value * 10 + static_cast<std::uint64_t>(*at - '0');
            ++at;
        }
        return at > from && !(at - from > 1 && *from == '0');
    }

    // The seconds as the collector writes them, "-12.345" at most: read, not kept.
    bool seconds() {
        std::uint64_t whole = 0;
        if (at < end && *at == '-') {
            ++at;
        }
        if (!digits(whole, 15) || !literal(".") || end - at < 3) {
            return false;
        }
        for (int i = 0; i < 3; ++i, ++at) {
            if (*at < '0' || *at > '9') {
                return false;
            }
        }
        return true;
    }
};

void keepText(std::string& field, std::string_view text, bool keep) {
    if (keep) {
        field.assign(text);
    } else {
        field.clear();
    }
}

} // namespace

ScanResult scanLogEvent(std::string_view text, LogEvent& event, unsigned keep,
                        std::size_t& lineLength) {
    Scanner s{text.data(), text.data() + text.size()};
    std::string_view start, end, state, title, curated, doc, url, app, exePath;
    // Where text with escapes is undone, a buffer per field, kept from line to line.
    thread_local std::string scratch[9];
    std::uint64_t pid = 0, category = 0;
    const bool shaped =
        s.literal("{\"start\": ") && s.quoted(start, scratch[0]) && s.literal(", \"end\": ") &&
        s.quoted(end, scratch[1]) && s.literal(", \"seconds\": ") && s.seconds() &&
        s.literal(", \"state\": ") && s.quoted(state, scratch[2]) && s.literal(", \"title\": ") &&
        s.quoted(title, scratch[3]) && s.literal(", \"curated_title\": ") &&
        s.quoted(curated, scratch[4]) && s.literal(", \"doc\": ") && s.quoted(doc, scratch[5]) &&
        s.literal(", \"url\": ") && s.quoted(url, scratch[6]) && s.literal(", \"pid\": ") &&
        s.digits(pid, 19) && s.literal(", \"app\": ") && s.quoted(app, scratch[7]) &&
        s.literal(", \"exe_path\": ") && s.quoted(exePath, scratch[8]) &&
        s.literal(", \"category\": ");
    if (!shaped) {
        return ScanResult::otherShape;
    }
    const bool negative = s.literal("-");
    if (!s.digits(category, 18) || !s.literal("}")) {
        return ScanResult::otherShape;
    }
    while (s.at < s.end && (*s.at == ' ' || *s.at == '\t' || *s.at == '\r')) {
        ++s.at;
    }
    if (s.at < s.end && *s.at != '\n') {
        return ScanResult::otherShape;
    }
    lineLength = static_cast<std::size_t>(s.at - text.data());
    const auto startStamp = parseTimestamp(start);
    const auto endStamp = parseTimestamp(end);
    const auto stateValue = stateFromName(state);
    if (!startStamp || !endStamp || !stateValue) {
        return ScanResult::notAnEvent;
    }
    event.start = *startStamp;
    event.end = *endStamp;
    event.state = *stateValue;
    event.pid = pid;
    event.category =
        negative ? -static_cast<std::int64_t>(category) : static_cast<std::int64_t>(category);
    keepText(event.title, title, (keep & textField::title) != 0);
    keepText(event.curatedTitle, curated, (keep & textField::curatedTitle) != 0);
    keepText(event.doc, doc, (keep & textField::doc) != 0);
    keepText(event.url, url, (keep & textField::url) != 0);
    keepText(event.app, app, (keep & textField::app) != 0);
    keepText(event.exePath, exePath, (keep & textField::exePath) != 0);
    return ScanResult::event;
}

} // namespace logformat
