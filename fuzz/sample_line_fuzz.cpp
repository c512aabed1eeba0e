// The collector's reader of the sampler's line, for any bytes: a sample or a refusal,
// never a crash; every decoded text is strict UTF-8, and the event made of it reads
// back from its log line with the same text.
#include "activity_log/activity.h"
#include "activity_log/sample_line.h"
#include "json_check.h"
#include "logformat/log_event.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Strict UTF-8: shortest forms, no surrogates, nothing above U+10FFFF.
bool strictUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        const unsigned char lead = byte(at);
        std::size_t length = 1;
        unsigned char low = 0x80, high = 0xBF;
        if (lead < 0x80) {
            ++at;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
            return false;
        }
        for (std::size_t i = at + 2; i < at + length; ++i) {
            if (byte(i) < 0x80 || byte(i) > 0xBF) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "sample_line_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto sample = activity_log::readSampleLine(bytes);
    if (!sample) {
        return 0;
    }
    for (const std::string* text : {&sample->title, &sample->curatedTitle, &sample->doc,
                                    &sample->url, &sample->name, &sample->path}) {
        if (!strictUtf8(*text)) {
            fail("decoded text is not strict UTF-8");
        }
    }
    if (!sample->window && (!sample->title.empty() || sample->pid != 0)) {
        fail("a sample without window has a title or an owner");
    }
    activity_log::ActivityRules rules;
    logformat::LogEvent event = activity_log::describeSample(sample, std::nullopt, rules);
    event.start = {1'800'000'000'000, 60};
    event.end = {1'800'000'005'000, 60};
    // Read back with the fuzz targets' own strict JSON reader (RapidJSON, which the
    // report uses, trips the sanitizers over its own pointer arithmetic).
    const std::string line = logformat::formatLogEvent(event);
    const auto back = parseJson(line);
    if (!back || back->kind != JsonValue::Kind::Object || back->items.size() != 12) {
        fail("the event's log line isn't one JSON object of twelve keys");
    }
    const std::pair<std::size_t, const std::string*> strings[] = {
        {4, &event.title}, {5, &event.curatedTitle}, {6, &event.doc},
        {7, &event.url},   {9, &event.app},          {10, &event.exePath}};
    for (const auto& [index, text] : strings) {
        if (back->items[index].kind != JsonValue::Kind::String ||
            back->items[index].text != latin1(*text)) {
            fail("the event's log line reads back different");
        }
    }
    return 0;
}
