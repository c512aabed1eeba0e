// The per-run record that the output line is written from.
#pragma once

#include <cstdint>

struct OwnerRecord {
    const char* name;         // display name, 1024-byte buffer
    std::uint64_t nameLength; // bytes converted, terminator included; 0 after a failure
    const char* imagePath;    // image path with slashes, 1024-byte buffer or shared empty
    std::uint64_t imagePathLength;
    std::uint64_t pid; // 0 when the window has no owner thread
};

struct ActivityRecord {
    const char* title;        // narrow title in UTF-8, or the shared empty string
    std::int64_t titleLength; // bytes converted, terminator included; 0 when none or failed
    const char* documentPath; // resolved document path in UTF-8, or null
    std::int64_t documentPathLength;
    OwnerRecord* owner; // always present
    std::int64_t category;
};

// The title's narrow buffer holds any 1023-unit title in UTF-8.
constexpr int titleBufferBytes = 3 * 1024;
constexpr int textBufferBytes = 1024;
constexpr int wideBufferUnits = 1024;
