#include "platform/collector_files.h"

#include "platform/win32_handle.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data(), chunk, &wrote, nullptr) || wrote == 0) {
            return false;
        }
        bytes.remove_prefix(wrote);
    }
    return true;
}

} // namespace

bool appendDurably(const std::filesystem::path& file, std::string_view bytes) {
    const Win32Handle out(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!SetFilePointerEx(out.get(), LARGE_INTEGER{}, &size, FILE_END)) {
        return false;
    }
    if (!writeAll(out.get(), bytes) || !FlushFileBuffers(out.get())) {
        // A line cut short (disk full) would corrupt the log: it goes, and the whole
        // line is written again at the next attempt.
        if (SetFilePointerEx(out.get(), size, nullptr, FILE_BEGIN)) {
            SetEndOfFile(out.get());
        }
        return false;
    }
    return true;
}

namespace {

// A file another program has open without FILE_SHARE_DELETE (a report reading it) can't
// be replaced or removed until it is closed: CALL is tried again for up to two seconds.
template <typename Call> bool retriedWhileShared(const Call& call) {
    for (int attempt = 0;; ++attempt) {
        if (call()) {
            return true;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 40) {
            return false;
        }
        Sleep(50);
    }
}

bool replaceThroughTemporary(const std::filesystem::path& file, std::string_view bytes,
                             bool retried) {
    std::filesystem::path temporary = file;
    temporary += L".tmp";
    {
        const Win32Handle out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.valid()) {
            return false;
        }
        if (!writeAll(out.get(), bytes) || !FlushFileBuffers(out.get())) {
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    const auto move = [&] {
        return MoveFileExW(temporary.c_str(), file.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    };
    if (!(retried ? retriedWhileShared(move) : move())) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

bool replaceAtomically(const std::filesystem::path& file, std::string_view bytes) {
    return replaceThroughTemporary(file, bytes, false);
}

bool replaceDurably(const std::filesystem::path& file, std::string_view bytes) {
    return replaceThroughTemporary(file, bytes, true) && syncName(file);
}

bool removeDurably(const std::filesystem::path& file) {
    {
        const Win32Handle content(CreateFileW(
            file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!content.valid()) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                return true;
            }
        } else if (!FlushFileBuffers(content.get())) {
            return false;
        }
    }
    return retriedWhileShared([&] {
        if (DeleteFileW(file.c_str())) {
            return true;
        }
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    });
}

bool syncName(const std::filesystem::path& file) {
    const Win32Handle renamed(CreateFileW(file.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return renamed.valid() && FlushFileBuffers(renamed.get());
}

void releaseFolderLock(RawHandle lock) {
    CloseHandle(reinterpret_cast<HANDLE>(lock));
}

FolderLockResult lockFolder(const std::filesystem::path& folder) {
    FolderLockResult result;
    const std::filesystem::path file = folder / L"activity-log.lock";
    // No sharing: while one collector has it open, nobody else opens it.
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        result.busy = GetLastError() == ERROR_SHARING_VIOLATION;
        return result;
    }
    result.lock = FolderLock(reinterpret_cast<RawHandle>(handle));
    return result;
}

void releaseFileLock(RawHandle lock) {
    CloseHandle(reinterpret_cast<HANDLE>(lock));
}

// Windows' byte-range locks are mandatory: a lock on the content would keep out the
// holder's own write through another handle, and every reader. So the lock is on one
// byte far past any content, which no one reads or writes. The handle only reads, and
// shares everything, so that appendDurably and the readers can open the file beside it.
FileLock lockFileWaiting(const std::filesystem::path& file) {
    Win32Handle handle(CreateFileW(file.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        return {};
    }
    OVERLAPPED farPastTheContent{};
    farPastTheContent.OffsetHigh = 0x40000000;
    if (!LockFileEx(handle.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &farPastTheContent)) {
        return {};
    }
    return FileLock(reinterpret_cast<RawHandle>(handle.release()));
}

std::filesystem::path ownExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::filesystem::path executableFileName(const char* stem) {
    return std::filesystem::path(stem) += L".exe";
}

} // namespace platform
