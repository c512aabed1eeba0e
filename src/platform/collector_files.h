// The collector's file writes that must survive a crash or a power cut. Providers:
// collector_files_linux.cpp, collector_files_win32.cpp.
#pragma once

#include "platform/platform.h"

#include <filesystem>
#include <string_view>

namespace platform {

// Appends BYTES to FILE (created when missing) in one write and flushes them to the
// disk before returning. On failure the file is left as it was: no partial line.
bool appendDurably(const std::filesystem::path& file, std::string_view bytes);

// Replaces FILE's content by BYTES atomically: a reader, or a restart after a crash,
// finds the old content or the new, never a mix. The new content is on the disk when
// this returns true; its name may still point at the old content after a power cut.
bool replaceAtomically(const std::filesystem::path& file, std::string_view bytes);

// Makes FILE's name, as the last rename left it, survive a power cut. Linux syncs the
// folder. Windows has no call for a folder, and MOVEFILE_WRITE_THROUGH covers only a
// move made as a copy: there the file itself is flushed, which commits its pending
// metadata, its name included.
bool syncName(const std::filesystem::path& file);

// replaceAtomically, then syncName: the new content is there to stay when this returns
// true, and the old one is gone from the file's name for good. Windows tries again for
// a while when a reader has the file open without sharing its deletion.
bool replaceDurably(const std::filesystem::path& file, std::string_view bytes);

// Removes FILE for good: its content is first cut to nothing and flushed, so that even a
// removal a power cut takes back leaves no byte of it (Windows has no call to make a
// removal itself durable); then the name goes, durably where the system allows. True
// when FILE is gone, also when there was none.
bool removeDurably(const std::filesystem::path& file);

// A folder held by one collector at a time, through a lock file in it; released when
// the owner goes (also when the process dies).
void releaseFolderLock(RawHandle lock);
using FolderLock = Owned<releaseFolderLock>;

struct FolderLockResult {
    FolderLock lock;   // empty when not held
    bool busy = false; // another process holds it
};
FolderLockResult lockFolder(const std::filesystem::path& folder);

// FILE (created when missing) locked for a read and a write that must be one step among
// processes, such as giving a new line an id no other line has. Another process asking
// for the same lock waits until it is released, also when its holder dies. Only those
// who ask for the lock wait: it keeps no one from reading or writing FILE. Empty when
// FILE can't be opened.
void releaseFileLock(RawHandle lock);
using FileLock = Owned<releaseFileLock>;
FileLock lockFileWaiting(const std::filesystem::path& file);

// This program's own executable file.
std::filesystem::path ownExecutablePath();

// The file name of the program called STEM on this system ("activity-sampler.exe" on
// Windows).
std::filesystem::path executableFileName(const char* stem);

} // namespace platform
