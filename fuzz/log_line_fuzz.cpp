// The log's two line readers on any bytes: what the fast path reads as an event the
// general reader reads the same, what it refuses the general reader refuses too, and
// every line the writer makes takes the fast path and reads back unchanged.
#include "logformat/log_event.h"
#include "logformat/log_event_scan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>

namespace {

auto fieldsOf(const logformat::LogEvent& e) {
    return std::tuple(e.start.unixMs, e.start.offsetMinutes, e.end.unixMs, e.end.offsetMinutes,
                      e.state, e.title, e.curatedTitle, e.doc, e.url, e.pid, e.app, e.exePath,
                      e.category);
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "log_line_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (line.find('\n') != std::string::npos) {
        return 0; // one line at a time, as the readers are given them
    }
    logformat::LogEvent fast, general;
    std::size_t length = 0;
    const logformat::ScanResult scanned = logformat::scanLogEvent(line, fast, 63, length);
    const bool read = logformat::readAnyLogEvent(line, general, 63);
    if (scanned == logformat::ScanResult::event &&
        (!read || fieldsOf(fast) != fieldsOf(general))) {
        fail("the fast path read an event the general reader reads otherwise");
    }
    if (scanned == logformat::ScanResult::notAnEvent && read) {
        fail("the fast path refused an event the general reader reads");
    }
    if (read) {
        std::string written = logformat::formatLogEvent(general);
        written.pop_back();
        logformat::LogEvent back;
        if (logformat::scanLogEvent(written, back, 63, length) != logformat::ScanResult::event ||
            logformat::formatLogEvent(back) != logformat::formatLogEvent(general)) {
            fail("a line the writer made didn't read back by the fast path");
        }
    }
    return 0;
}
