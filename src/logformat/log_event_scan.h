// The fast path of reading an event line, for the lines as the collector writes them.
#pragma once

#include "logformat/log_event.h"

#include <string_view>

namespace logformat {

enum class ScanResult {
    event,      // read into the event
    notAnEvent, // the collector's shape, but a value no event has
    otherShape, // some other JSON, or none: for the general reader to decide
};

// Reads the line TEXT begins with into EVENT, keeping the text fields in KEEP. TEXT may
// run on past the line's LF; LINE_LENGTH is where that LF is (or TEXT's size, when it
// has none), for an event or a line of the collector's shape without one.
ScanResult scanLogEvent(std::string_view text, LogEvent& event, unsigned keep,
                        std::size_t& lineLength);

// The general reader, for a line of any JSON shape (its line end removed): what
// readLogEvent falls back on.
bool readAnyLogEvent(std::string_view line, LogEvent& event, unsigned keep);

} // namespace logformat
