#include "json_check.h"

#include <string_view>
#include <utility>

namespace {

// Deeper than any line the sampler writes; bounds the recursion on hostile input.
constexpr int maxDepth = 64;

struct Reader {
    std::string_view text;
    std::size_t at = 0;

    bool atEnd() const { return at >= text.size(); }
    char32_t peek() const { return atEnd() ? U'\0' : static_cast<unsigned char>(text[at]); }
    bool take(char32_t c) {
        if (atEnd() || peek() != c) {
            return false;
        }
        ++at;
        return true;
    }
    void skipWhiteSpace() {
        while (!atEnd() &&
               (peek() == U' ' || peek() == U'\t' || peek() == U'\n' || peek() == U'\r')) {
            ++at;
        }
    }
};

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

bool readLiteral(Reader& in, std::string_view word) {
    for (const char c : word) {
        if (!in.take(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// number = [ minus ] int [ frac ] [ exp ]; int = zero / ( digit1-9 *DIGIT )
bool readNumber(Reader& in, std::u32string& lexeme) {
    const std::size_t start = in.at;
    in.take(U'-');
    if (in.take(U'0')) {
        // No leading zeros.
    } else if (isDigit(in.peek())) {
        while (isDigit(in.peek())) {
            ++in.at;
        }
    } else {
        return false;
    }
    if (in.take(U'.')) {
        if (!isDigit(in.peek())) {
            return false;
        }
        while (isDigit(in.peek())) {
            ++in.at;
        }
    }
    if (in.take(U'e') || in.take(U'E')) {
        if (!in.take(U'+')) {
            in.take(U'-');
        }
        if (!isDigit(in.peek())) {
            return false;
        }
        while (isDigit(in.peek())) {
            ++in.at;
        }
    }
    lexeme = latin1(in.text.substr(start, in.at - start));
    return true;
}

bool readHex4(Reader& in, char32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        const char32_t c = in.peek();
        int digit = -1;
        if (isDigit(c)) {
            digit = static_cast<int>(c - U'0');
        } else if (c >= U'a' && c <= U'f') {
            digit = static_cast<int>(c - U'a') + 10;
        } else if (c >= U'A' && c <= U'F') {
            digit = static_cast<int>(c - U'A') + 10;
        }
        if (digit < 0) {
            return false;
        }
        ++in.at;
        value = value * 16 + static_cast<char32_t>(digit);
    }
    return true;
}

// The character a one-letter escape stands for, or 0 when the letter is none of them.
char32_t unescaped(char32_t letter) {
    // Pairs of the letter after the backslash and the character it stands for.
    constexpr std::u32string_view pairs = U"\"\"\\\\//b\bf\fn\nr\rt\t";
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        if (pairs[i] == letter) {
            return pairs[i + 1];
        }
    }
    return U'\0';
}

bool readString(Reader& in, std::u32string& out) {
    if (!in.take(U'"')) {
        return false;
    }
    out.clear();
    while (!in.atEnd()) {
        const char32_t c = in.peek();
        ++in.at;
        if (c == U'"') {
            return true;
        }
        if (c < 0x20) {
            return false; // control characters must be escaped
        }
        if (c != U'\\') {
            out += c;
            continue;
        }
        const char32_t escape = in.peek();
        ++in.at;
        if (const char32_t plain = unescaped(escape); plain != U'\0') {
            out += plain;
            continue;
        }
        if (escape != U'u') {
            return false;
        }
        char32_t unit = 0;
        if (!readHex4(in, unit)) {
            return false;
        }
        // A high surrogate escape followed by a low one is one character; a lone
        // surrogate is kept as it is, as RFC 8259 allows.
        if (unit >= 0xD800 && unit < 0xDC00 && in.text.substr(in.at, 2) == "\\u") {
            Reader ahead = in;
            ahead.at += 2;
            char32_t low = 0;
            if (readHex4(ahead, low) && low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                in = ahead;
            }
        }
        out += unit;
    }
    return false;
}

bool readValue(Reader& in, JsonValue& value, int depth);

bool readObject(Reader& in, JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::Object;
    in.skipWhiteSpace();
    if (in.take(U'}')) {
        return true;
    }
    do {
        in.skipWhiteSpace();
        std::u32string key;
        if (!readString(in, key)) {
            return false;
        }
        in.skipWhiteSpace();
        if (!in.take(U':')) {
            return false;
        }
        JsonValue member;
        if (!readValue(in, member, depth + 1)) {
            return false;
        }
        value.keys.push_back(std::move(key));
        value.items.push_back(std::move(member));
        in.skipWhiteSpace();
    } while (in.take(U','));
    return in.take(U'}');
}

bool readArray(Reader& in, JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::Array;
    in.skipWhiteSpace();
    if (in.take(U']')) {
        return true;
    }
    do {
        JsonValue item;
        if (!readValue(in, item, depth + 1)) {
            return false;
        }
        value.items.push_back(std::move(item));
        in.skipWhiteSpace();
    } while (in.take(U','));
    return in.take(U']');
}

bool readValue(Reader& in, JsonValue& value, int depth) {
    if (depth > maxDepth) {
        return false;
    }
    in.skipWhiteSpace();
    switch (in.peek()) {
    case U'{':
        ++in.at;
        return readObject(in, value, depth);
    case U'[':
        ++in.at;
        return readArray(in, value, depth);
    case U'"':
        value.kind = JsonValue::Kind::String;
        return readString(in, value.text);
    case U't':
        value.kind = JsonValue::Kind::True;
        return readLiteral(in, "true");
    case U'f':
        value.kind = JsonValue::Kind::False;
        return readLiteral(in, "false");
    case U'n':
        value.kind = JsonValue::Kind::Null;
        return readLiteral(in, "null");
    default:
        value.kind = JsonValue::Kind::Number;
        return readNumber(in, value.text);
    }
}

} // namespace

std::optional<JsonValue> parseJson(std::string_view text) {
    Reader in{text};
    JsonValue value;
    if (!readValue(in, value, 0)) {
        return std::nullopt;
    }
    in.skipWhiteSpace();
    if (!in.atEnd()) {
        return std::nullopt;
    }
    return value;
}

std::u32string latin1(std::string_view bytes) {
    std::u32string characters;
    characters.reserve(bytes.size());
    for (const char byte : bytes) {
        characters += static_cast<unsigned char>(byte);
    }
    return characters;
}
