// Title curation for any title, rule and marker: it must not crash, and it must give
// what the independent formulation of the rules gives.
//
// Input layout:
//   bytes 0-3   the TitleRule, little-endian, two's complement: any value
//   byte 4      bit 0: an entry is given (else none); bit 1: it carries the marker
//               "[InPrivate]" (else an empty one)
//   then        the title in UTF-16LE, at most 1023 units; never empty
#include "knowledge/app_table.h"
#include "knowledge/title_curation.h"
#include "reference_curation.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::size_t headerBytes = 5;
constexpr std::size_t maxTitleUnits = 1023;

void report(const char* what, const std::wstring& title, const std::wstring& got,
            const std::wstring& expected) {
    const auto hex = [](const std::wstring& text) {
        for (const wchar_t unit : text) {
            std::fprintf(stderr, " %04lx", static_cast<unsigned long>(unit));
        }
        std::fputc('\n', stderr);
    };
    std::fprintf(stderr, "%s differs\ntitle:   ", what);
    hex(title);
    std::fprintf(stderr, "got:     ");
    hex(got);
    std::fprintf(stderr, "expected:");
    hex(expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < headerBytes + 2) {
        return 0; // curation is only asked for a title that is not empty
    }
    const auto rule = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
        static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24);
    const bool hasEntry = (data[4] & 1) != 0;
    const bool hasMarker = (data[4] & 2) != 0;

    std::wstring title;
    for (std::size_t i = headerBytes; i + 1 < size && title.size() < maxTitleUnits; i += 2) {
        title.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
    }

    wchar_t displayName[] = L"Fuzzed";
    AppEntry entry{displayName, 6, rule, 0, hasMarker ? L"[InPrivate]" : L""};
    const AppEntry* given = hasEntry ? &entry : nullptr;

    const CuratedTitle got = curateTitle(title, given);
    const CuratedTitle expected = reference::curateTitle(title, given);
    if (got.curatedTitle != expected.curatedTitle) {
        report("curated title", title, got.curatedTitle, expected.curatedTitle);
        std::abort();
    }
    if (got.documentName != expected.documentName) {
        report("document name", title, got.documentName, expected.documentName);
        std::abort();
    }
    return 0;
}
