// The UTF-8 conversions that stand in for the Windows calls off Windows.
#include "platform/text_codec.h"
#include "sample_run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::codec::utf8FromWide;
using platform::codec::wideFromUtf8;

std::string toUtf8(const std::wstring& text) {
    const int bytes = utf8FromWide(text.c_str(), -1, nullptr, 0);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    EXPECT_EQ(utf8FromWide(text.c_str(), -1, out.data(), bytes), bytes);
    out.pop_back();
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    const int units = wideFromUtf8(text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(units), L'\0');
    EXPECT_EQ(wideFromUtf8(text.c_str(), -1, out.data(), units), units);
    out.pop_back();
    return out;
}

TEST(TextCodec, EncodesByCodePointAndReplacesLoneSurrogates) {
    EXPECT_EQ(toUtf8(test::units(u"a\u00e9\u20ac\U0001F600")),
              "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(toUtf8(test::units(u"x")) + toUtf8(std::wstring(1, wchar_t(0xD800))) +
                  toUtf8(std::wstring(1, wchar_t(0xDC00))),
              "x\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextCodec, CountsIncludeTheTerminatorAndShortBuffersFail) {
    EXPECT_EQ(utf8FromWide(L"", -1, nullptr, 0), 1);
    EXPECT_EQ(utf8FromWide(L"ab", 2, nullptr, 0), 2);
    char small[2];
    EXPECT_EQ(utf8FromWide(L"ab", -1, small, 2), 0);
    EXPECT_EQ(wideFromUtf8("", -1, nullptr, 0), 1);
}

TEST(TextCodec, DecodesPairsAndReplacesIllFormedSubparts) {
    EXPECT_EQ(fromUtf8("a\xC3\xA9\xF0\x9F\x98\x80"), test::units(u"a\u00e9\U0001F600"));
    struct Case {
        std::string bytes;
        std::u16string units;
    };
    const Case cases[] = {
        {"\xFF", u"\uFFFD"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},           // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
        {"\xE2\x82", u"\uFFFD"},                 // truncated
        {"\xE2\x82x", u"\uFFFDx"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fromUtf8(c.bytes), test::units(c.units));
    }
}

} // namespace
