// A strict JSON reader for the fuzz targets' checks: the grammar of RFC 8259, nothing
// more lenient. Each byte of the text is one character (Latin-1), since the sampler's
// values are not all UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct JsonValue {
    enum class Kind { Null, False, True, Number, String, Array, Object };
    Kind kind = Kind::Null;
    std::u32string text;              // a string's characters, or a number's lexeme
    std::vector<JsonValue> items;     // an array's items, or an object's member values
    std::vector<std::u32string> keys; // an object's keys, in the order written
};

// The value that the whole text holds (white space around it allowed), or none when the
// text is not JSON.
std::optional<JsonValue> parseJson(std::string_view text);

// Latin-1 bytes as characters, for comparing with parsed strings.
std::u32string latin1(std::string_view bytes);
