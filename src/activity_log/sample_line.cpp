#include "activity_log/sample_line.h"

#include "text/utf8.h"

#include <limits>

namespace activity_log {
namespace {

struct Reader {
    std::string_view rest;

    bool literal(std::string_view piece) {
        if (rest.substr(0, piece.size()) != piece) {
            return false;
        }
        rest.remove_prefix(piece.size());
        return true;
    }

    // A string's bytes up to its closing quote (left unread), with the escapes undone.
    // Every escape stands for one byte: the sampler escapes bytes, not characters.
    bool bytes(std::string& out) {
        static constexpr std::string_view shortForms = "\"\\/bfnrt";
        static constexpr std::string_view shortBytes = "\"\\/\b\f\n\r\t";
        while (!rest.empty() && rest.front() != '"') {
            const char c = rest.front();
            rest.remove_prefix(1);
            if (c != '\\') {
                out += c;
                continue;
            }
            if (rest.empty()) {
                return false;
            }
            const char escape = rest.front();
            rest.remove_prefix(1);
            if (const auto at = shortForms.find(escape); at != std::string_view::npos) {
                out += shortBytes[at];
            } else if (escape == 'u') {
                unsigned value = 0;
                if (rest.size() < 4) {
                    return false;
                }
                for (int i = 0; i < 4; ++i) {
                    const char h = rest[static_cast<std::size_t>(i)];
                    const int digit = h >= '0' && h <= '9'   ? h - '0'
                                      : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                      : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                             : -1;
                    if (digit < 0) {
                        return false;
                    }
                    value = value * 16 + static_cast<unsigned>(digit);
                }
                if (value > 0xFF) {
                    return false;
                }
                rest.remove_prefix(4);
                out += static_cast<char>(value);
            } else {
                return false;
            }
        }
        return !rest.empty();
    }

    // Decimal digits without a leading zero (a lone "0" aside), within LIMIT.
    bool digits(std::uint64_t limit, std::uint64_t& value) {
        std::size_t count = 0;
        value = 0;
        while (count < rest.size() && rest[count] >= '0' && rest[count] <= '9') {
            const auto digit = static_cast<std::uint64_t>(rest[count] - '0');
            if (value > (limit - digit) / 10) {
                return false;
            }
            value = value * 10 + digit;
            ++count;
        }
        if (count == 0 || (count > 1 && rest[0] == '0')) {
            return false;
        }
        rest.remove_prefix(count);
        return true;
    }
};

// Strict UTF-8: the text as it is, or nothing.
std::optional<std::string> fromUtf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const text::Utf8Sequence sequence = text::decodeUtf8(bytes, at);
        if (!sequence.valid) {
            return std::nullopt;
        }
        at += sequence.length;
    }
    return std::string(bytes);
}

// UTF-8 by code unit: one sequence of at most three bytes per UTF-16 unit. A high
// surrogate followed by a low one is one character; a surrogate without its partner
// becomes U+FFFD.
std::optional<std::string> fromUtf8ByCodeUnit(std::string_view bytes) {
    std::string decoded;
    decoded.reserve(bytes.size());
    char32_t pendingHigh = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const text::Utf8Sequence sequence = text::decodeUtf8(bytes, at, text::Surrogates::allowed);
        if (!sequence.valid || sequence.length > 3) {
            return std::nullopt;
        }
        at += sequence.length;
        const char32_t unit = sequence.value;
        if (pendingHigh != 0) {
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                text::appendUtf8(decoded,
                                 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
                pendingHigh = 0;
                continue;
            }
            text::appendUtf8(decoded, text::replacementCharacter);
            pendingHigh = 0;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            pendingHigh = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            text::appendUtf8(decoded, text::replacementCharacter);
        } else {
            text::appendUtf8(decoded, unit);
        }
    }
    if (pendingHigh != 0) {
        text::appendUtf8(decoded, text::replacementCharacter);
    }
    return decoded;
}

// Latin-1: each byte is the character of the same number.
std::string fromLatin1(std::string_view bytes) {
    std::string decoded;
    decoded.reserve(bytes.size());
    for (const char byte : bytes) {
        text::appendUtf8(decoded, static_cast<unsigned char>(byte));
    }
    return decoded;
}

bool withoutLineEnd(std::string_view& line) {
    if (line.empty() || line.back() != '\n') {
        return false;
    }
    line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return true;
}

} // namespace

std::optional<Sample> readSampleLine(std::string_view output) {
    if (!withoutLineEnd(output)) {
        return std::nullopt;
    }
    Sample sample;
    if (output == "{}") {
        return sample;
    }
    Reader reader{output};
    std::string title, curated, doc, url, name, path;
    std::uint64_t pid = 0, category = 0;
    const bool framed = reader.literal(R"({"Title": ")") && reader.bytes(title) &&
                        reader.literal(R"(", "Curated_title": ")") && reader.bytes(curated) &&
                        reader.literal(R"(", "Doc": ")") && reader.bytes(doc) &&
                        reader.literal(R"(", "URL": ")") && reader.bytes(url) &&
                        reader.literal(R"(", "Owner": {"Pid": )") &&
                        reader.digits(std::numeric_limits<std::uint64_t>::max(), pid) &&
                        reader.literal(R"(, "Name": ")") && reader.bytes(name) &&
                        reader.literal(R"(", "Path": ")") && reader.bytes(path) &&
                        reader.literal(R"("}, "App_cat_nb": )");
    if (!framed) {
        return std::nullopt;
    }
    const bool negative = reader.literal("-");
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 63 : std::uint64_t(std::numeric_limits<std::int64_t>::max());
    if (!reader.digits(limit, category) || !reader.literal("}") || !reader.rest.empty()) {
        return std::nullopt;
    }
    auto decodedTitle = fromUtf8(title);
    auto decodedUrl = fromUtf8(url);
    auto decodedCurated = fromUtf8ByCodeUnit(curated);
    auto decodedDoc = fromUtf8ByCodeUnit(doc);
    if (!decodedTitle || !decodedUrl || !decodedCurated || !decodedDoc) {
        return std::nullopt;
    }
    if (negative && category == 0) {
        return std::nullopt; // "-0" is no number the sampler writes
    }
    sample.title = std::move(*decodedTitle);
    sample.curatedTitle = std::move(*decodedCurated);
    sample.doc = std::move(*decodedDoc);
    sample.url = std::move(*decodedUrl);
    sample.pid = pid;
    sample.name = fromLatin1(name);
    sample.path = fromLatin1(path);
    sample.category =
        negative ? static_cast<std::int64_t>(~category + 1) : static_cast<std::int64_t>(category);
    // The no-window line: no title and no owner.
    sample.window = !(sample.title.empty() && pid == 0);
    return sample;
}

} // namespace activity_log
