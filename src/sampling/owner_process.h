// Names the process that owns the foreground window.
#pragma once

#include "sampling/activity_record.h"

#include <cstdint>

struct AppEntry;

struct ProcessRecord {
    const AppEntry* app; // null when the file name is not in the table
    std::int32_t pid;
    wchar_t* exeName; // terminated
    std::int32_t exeNameLength;
};

// Builds the run's current process record and sets the record's category and the
// owner's name. Null only when the record can't be allocated.
ProcessRecord* identifyOwnerProcess(ActivityRecord& record);
