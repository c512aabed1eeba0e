// Writes the one JSON line of a run.
#pragma once

#include "sampling/activity_record.h"

#include <string>

struct CuratedBytes {
    std::string curatedTitle; // UTF-8 by code unit
    std::string documentName;
};

// record: null when the run has none. curated: null when the title was not curated.
// The line is formatted whole, then written in one piece.
std::string formatActivityRecord(const ActivityRecord* record, const CuratedBytes* curated,
                                 bool documentResolved);
void writeActivityRecord(const ActivityRecord* record, const CuratedBytes* curated,
                         bool documentResolved);

// Every UTF-16 unit on its own as the UTF-8 sequence of its value.
std::string encodeUtf8ByCodeUnit(const std::wstring& text);
