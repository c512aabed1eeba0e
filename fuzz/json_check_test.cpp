// The JSON checker against texts whose verdict is known; tools/fuzz runs it first.
#include "json_check.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

struct Case {
    std::string_view text;
    bool valid;
};

constexpr Case cases[] = {
    {R"({"a": "x", "b": {"c": 1}, "d": -0.5e+3})", true},
    {R"([true, false, null, [], {}])", true},
    {" \t\r\n\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\" ", true},
    {"\"caf\xe9\"", true}, // Latin-1 bytes are characters
    {"0", true},
    {"", false},
    {"{}{}", false},
    {"\"tab\tinside\"", false},
    {"\"line\nfeed\"", false},
    {"\"\x01\"", false},
    {R"("\x")", false},
    {R"("\u00g0")", false},
    {R"("open)", false},
    {R"({"a" 1})", false},
    {R"({"a": 1,})", false},
    {R"([1,])", false},
    {R"({a: 1})", false},
    {"01", false},
    {"1.", false},
    {".5", false},
    {"1e", false},
    {"+1", false},
    {"-", false},
    {"tru", false},
    {"nul", false},
    {"'x'", false},
};

} // namespace

int main() {
    int failures = 0;
    for (const Case& c : cases) {
        if (parseJson(c.text).has_value() != c.valid) {
            std::fprintf(stderr, "json_check_test: wrong verdict for: %.*s\n",
                         static_cast<int>(c.text.size()), c.text.data());
            ++failures;
        }
    }
    // Nesting is bounded, so hostile input can't exhaust the stack.
    const auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    if (!parseJson(nested(20)) || parseJson(nested(1000))) {
        std::fprintf(stderr, "json_check_test: wrong verdict on nesting\n");
        ++failures;
    }
    const auto value = parseJson(R"({"k": "\ud83d\ude00\u00e9", "n": 12})");
    if (!value || value->keys != std::vector<std::u32string>{U"k", U"n"} ||
        value->items[0].text != U"\U0001F600\u00e9" || value->items[1].text != U"12") {
        std::fprintf(stderr, "json_check_test: wrong content read\n");
        ++failures;
    }
    if (failures == 0) {
        std::printf("json_check_test: %zu cases passed\n", std::size(cases) + 2);
    }
    return failures == 0 ? 0 : 1;
}
