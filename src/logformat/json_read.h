// Every JSON the companions read from a file goes through here: day files, current.json,
// tags.jsonl, summaries. Their bytes may be damaged or made by hand, so nesting is cut
// off at a depth no line of ours comes near: the reader's recursion goes no deeper than
// that, and a read takes no more memory than the text's own size.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include <cstdint>
#include <string_view>

namespace logformat {

// Objects and arrays within one another; the deepest this system writes is three (a
// summary's list of pairs).
inline constexpr unsigned maxJsonDepth = 32;

namespace json_detail {

// Passes every value on to HANDLER, and stops the parse at a level deeper than the most.
template <typename Handler> struct DepthBound {
    using Ch = char;
    using SizeType = rapidjson::SizeType;
    Handler& inner;
    unsigned depth = 0;

    bool Null() { return inner.Null(); }
    bool Bool(bool b) { return inner.Bool(b); }
    bool Int(int i) { return inner.Int(i); }
    bool Uint(unsigned u) { return inner.Uint(u); }
    bool Int64(std::int64_t i) { return inner.Int64(i); }
    bool Uint64(std::uint64_t u) { return inner.Uint64(u); }
    bool Double(double d) { return inner.Double(d); }
    bool RawNumber(const Ch* text, SizeType length, bool copy) {
        return inner.RawNumber(text, length, copy);
    }
    bool String(const Ch* text, SizeType length, bool copy) {
        return inner.String(text, length, copy);
    }
    bool Key(const Ch* text, SizeType length, bool copy) { return inner.Key(text, length, copy); }
    bool StartObject() { return ++depth <= maxJsonDepth && inner.StartObject(); }
    bool EndObject(SizeType members) {
        --depth;
        return inner.EndObject(members);
    }
    bool StartArray() { return ++depth <= maxJsonDepth && inner.StartArray(); }
    bool EndArray(SizeType elements) {
        --depth;
        return inner.EndArray(elements);
    }
};

} // namespace json_detail

// Parses INPUT into HANDLER (RapidJSON's reader events) with FLAGS: false for text that
// isn't JSON, nests deeper than maxJsonDepth, or that HANDLER refused.
template <unsigned flags, typename InputStream, typename Handler>
bool readJson(InputStream& input, Handler& handler) {
    json_detail::DepthBound<Handler> bounded{handler};
    // The recursive parser, not RapidJSON's iterative one: the bound stops its recursion
    // at the first level too deep, and it keeps an in-place parse off the reader's own
    // stack, whose first push does arithmetic on a null pointer.
    rapidjson::Reader reader;
    return !reader.Parse<flags>(input, bounded).IsError();
}

// TEXT, one JSON value in strict UTF-8, as DOCUMENT. False, and DOCUMENT left null, for
// text that isn't one or nests deeper than maxJsonDepth.
bool readJsonDocument(std::string_view text, rapidjson::Document& document);

} // namespace logformat
