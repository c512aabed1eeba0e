// Takes the one sample a run reports: the foreground window and its owner.
#pragma once

#include "sampling/activity_record.h"

#include <cstddef>

// Null when any of the record's allocations fails.
ActivityRecord* captureForegroundWindow();

// Every unit up to U+00FF becomes the byte of that value; any unit above it makes the
// result empty with count 0. Returns the bytes written, terminator included.
std::size_t toCLocaleNarrow(const wchar_t* text, std::size_t limit, char* destination);

// The process-wide work buffers: the wide title, and the process path that owner
// identification reuses.
wchar_t* titleWorkBuffer();
wchar_t* pathWorkBuffer();
