// The sampling loop: runs the sampler at every interval, turns what it says into
// events and keeps them, until a stop request, --for or --samples ends it.
#pragma once

#include "activity_log/options.h"

namespace activity_log {

// The exit status: 0 after a stop; 1 when events could not be written to the log by
// then (they wait in current.json for the next start, or go to standard error when even
// that can't be written), or when standard output went away; 2 when the log has
// nowhere to go, or another collector writes to its folder (at the start, or took it
// while this one waited for it).
int runCollector(const Options& options);

} // namespace activity_log
