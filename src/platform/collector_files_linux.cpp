#include "platform/collector_files.h"
#include "platform/fd_linux.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace platform {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = write(fd, bytes.data(), bytes.size());
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

// A new name in a folder is durable once the folder itself is synced.
bool syncFolderOf(const std::filesystem::path& file) {
    const std::filesystem::path parent =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const Fd folder(open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.fd >= 0 && fsync(folder.fd) == 0;
}

} // namespace

// fdatasync: the bytes and the file's size reach the disk, its times needn't.
bool appendDurably(const std::filesystem::path& file, std::string_view bytes) {
    // A file still empty may be new (lockFileWaiting makes one): its name is synced too.
    struct stat before {};
    const bool named = stat(file.c_str(), &before) == 0 && before.st_size > 0;
    const Fd out(open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (out.fd < 0) {
        return false;
    }
    const off_t size = lseek(out.fd, 0, SEEK_END);
    if (size < 0) {
        return false;
    }
    if (!writeAll(out.fd, bytes) || fdatasync(out.fd) != 0) {
        // A line cut short (disk full) would corrupt the log: it goes, and the whole
        // line is written again at the next attempt.
        if (ftruncate(out.fd, size) == 0) {
            fdatasync(out.fd);
        }
        return false;
    }
    return named || syncFolderOf(file);
}

bool replaceAtomically(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    {
        const Fd out(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (out.fd < 0) {
            return false;
        }
        if (!writeAll(out.fd, bytes) || fdatasync(out.fd) != 0) {
            unlink(temporary.c_str());
            return false;
        }
    }
    // The folder isn't synced here: until it is, a power cut may leave the previous
    // content, which is whole too. syncName does it when that matters.
    if (rename(temporary.c_str(), file.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool syncName(const std::filesystem::path& file) {
    return syncFolderOf(file);
}

bool replaceDurably(const std::filesystem::path& file, std::string_view bytes) {
    return replaceAtomically(file, bytes) && syncFolderOf(file);
}

bool removeDurably(const std::filesystem::path& file) {
    {
        const Fd content(open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW));
        if (content.fd < 0) {
            if (errno == ENOENT) {
                return true;
            }
        } else if (fdatasync(content.fd) != 0) {
            return false;
        }
    }
    if (unlink(file.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    return syncFolderOf(file);
}

// The handle is the descriptor plus one, so that descriptor 0 isn't "none".
void releaseFolderLock(RawHandle lock) {
    close(static_cast<int>(lock - 1));
}

FolderLockResult lockFolder(const std::filesystem::path& folder) {
    FolderLockResult result;
    const std::filesystem::path file = folder / "activity-log.lock";
    Fd lockFile(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (lockFile.fd < 0) {
        return result;
    }
    if (flock(lockFile.fd, LOCK_EX | LOCK_NB) != 0) {
        result.busy = errno == EWOULDBLOCK;
        return result;
    }
    result.lock = FolderLock(static_cast<RawHandle>(lockFile.release()) + 1);
    return result;
}

void releaseFileLock(RawHandle lock) {
    close(static_cast<int>(lock - 1));
}

// flock: the lock is the open file's, so it goes with the descriptor, and with the process.
FileLock lockFileWaiting(const std::filesystem::path& file) {
    Fd lockFile(open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644));
    if (lockFile.fd < 0) {
        return {};
    }
    int locked = 0;
    do {
        locked = flock(lockFile.fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        return {};
    }
    return FileLock(static_cast<RawHandle>(lockFile.release()) + 1);
}

std::filesystem::path ownExecutablePath() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

std::filesystem::path executableFileName(const char* stem) {
    return stem;
}

} // namespace platform
