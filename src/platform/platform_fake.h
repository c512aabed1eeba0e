// The scripted platform for unit tests: a test sets what the platform reports and which
// calls fail, runs the code under test, then reads what was written and released.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform::fake {

// A file in the scripted Recent folder.
struct RecentEntry {
    std::uint32_t attributes = 0;
    bool loadable = true; // Load succeeds: the file is a readable shortcut
    std::wstring target;  // what GetPath gives for it
    HResult getPathResult = 0;
};

struct Script {
    // Window manager.
    WindowHandle foreground = 0;
    std::wstring title;             // copied as GetWindowTextW would, at most limit-1 units
    bool titleUnterminated = false; // fills the whole buffer without a terminator
    std::uint32_t threadId = 1;     // 0: the window has no owner thread
    std::uint32_t pid = 0;

    // Processes.
    bool openProcessFails = false;
    std::wstring imagePath; // device form, with backslashes
    bool imagePathFails = false;
    std::wstring modulePath; // drive form, with backslashes
    bool modulePathFails = false;

    // Memory: the allocation with this index (0 the first) fails; -1 none.
    int failAllocation = -1;

    // Text: the wide-to-narrow conversion with this index (0 the first) fails; -1 none.
    int failWideToNarrowCall = -1;

    // Component runtime.
    HResult coInitializeResult = 0;
    HResult createInstanceResult = 0;
    HResult queryInterfaceResult = 0;
    HResult recentFolderResult = 0;
    std::wstring recentFolder = L"C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Recent";
    // File name -> entry; searched case-insensitively, with * and ? as wildcards.
    std::map<std::wstring, RecentEntry> recentFiles;
    // Names the search finds in any folder, whatever extension follows them, and reports
    // by the bare name, as Windows does for its devices (COM1.docx.lnk is found as COM1).
    std::vector<std::wstring> devices;
};

// What the code under test did.
struct Record {
    std::string standardOutput;
    std::string standardError;
    int standardErrorFlushes = 0;
    int allocations = 0;
    int wideToNarrowCalls = 0;
    int processesOpened = 0;
    int processesClosed = 0;
    std::uint32_t lastOpenAccess = 0;
    int coInitializeCalls = 0;
    int coUninitializeCalls = 0;
    int comReferencesMade = 0;
    int comReferencesReleased = 0;
    int recentFolderLookups = 0;
    int searchesStarted = 0;
    int searchesClosed = 0;
    std::wstring lastSearchPattern;
    std::wstring lastLoadedPath;
    std::uint32_t lastLoadMode = 0xFFFFFFFF;
    std::uint32_t lastGetPathFlags = 0;
    int lastGetPathSize = 0;
};

Script& script();
Record& record();
// Back to a desktop with no foreground window, nothing recorded, all memory freed.
void reset();

} // namespace platform::fake
