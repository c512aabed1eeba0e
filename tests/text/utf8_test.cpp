// The one UTF-8 decoder: what each sequence reads as, ill-formed ones by their maximal
// subpart, and the sampler's lone surrogates where they are allowed.
#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using text::decodeUtf8;
using text::Surrogates;

TEST(Utf8, EachSequenceByTheStandardsTable) {
    struct Case {
        std::string bytes;
        Surrogates surrogates;
        bool valid;
        char32_t value;
        std::size_t length;
    };
    const Case cases[] = {
        {"a", Surrogates::refused, true, U'a', 1},
        {"\xC3\xA9", Surrogates::refused, true, 0xE9, 2},
        {"\xE2\x82\xAC", Surrogates::refused, true, 0x20AC, 3},
        {"\xF0\x9F\x98\x80", Surrogates::refused, true, 0x1F600, 4},
        {"\xF4\x8F\xBF\xBF", Surrogates::refused, true, 0x10FFFF, 4},
        {"\x80", Surrogates::refused, false, 0xFFFD, 1},         // a continuation alone
        {"\xC0\xAF", Surrogates::refused, false, 0xFFFD, 1},     // overlong
        {"\xE0\x80\x80", Surrogates::refused, false, 0xFFFD, 1}, // overlong
        {"\xE2\x82", Surrogates::refused, false, 0xFFFD, 2},     // cut short
        {"\xE2\x82x", Surrogates::refused, false, 0xFFFD, 2},
        {"\xF0\x9F\x98", Surrogates::refused, false, 0xFFFD, 3},
        {"\xF4\x90\x80\x80", Surrogates::refused, false, 0xFFFD, 1}, // above U+10FFFF
        {"\xF5\x80", Surrogates::refused, false, 0xFFFD, 1},
        {"\xED\xA0\x80", Surrogates::refused, false, 0xFFFD, 1},
        {"\xED\xA0\x80", Surrogates::allowed, true, 0xD800, 3},
        {"\xED\xBF\xBF", Surrogates::allowed, true, 0xDFFF, 3},
    };
    for (const Case& c : cases) {
        const text::Utf8Sequence read = decodeUtf8(c.bytes, 0, c.surrogates);
        EXPECT_EQ(read.valid, c.valid) << testing::PrintToString(c.bytes);
        EXPECT_EQ(read.value, c.value) << testing::PrintToString(c.bytes);
        EXPECT_EQ(read.length, c.length) << testing::PrintToString(c.bytes);
        if (c.valid) {
            std::string encoded;
            text::appendUtf8(encoded, c.value);
            EXPECT_EQ(encoded, c.bytes.substr(0, c.length));
        }
    }
}

} // namespace
