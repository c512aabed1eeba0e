// The Linux provider: processes through /proc, text through the UTF-8 codec. The
// window manager calls live in linux_desktop.cpp and the desktops it picks from.
#include "platform/fd_linux.h"
#include "platform/linux_desktop.h"
#include "platform/platform.h"
#include "platform/text_codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// An open process is a descriptor of its /proc directory, held as descriptor + 1 so
// that 0 stays "none". Its files are then read from that very process, even when the
// pid is reused meanwhile.
//
// A Wayland compositor may name the window's application by its app id alone, with no
// pid: that is process 0, which opens as this handle, and whose module is the app id.
constexpr RawHandle appIdProcess = ~RawHandle{0};

void closeHandle(RawHandle process) {
    if (process != 0 && process != appIdProcess) {
        close(static_cast<int>(process - 1));
    }
}
void findClose(RawHandle) {}
void releaseComReference(RawHandle) {}

void* allocateZeroed(std::size_t bytes) {
    return std::calloc(1, bytes);
}

namespace {

bool executableLinkReadable(int processDirectory) {
    char first = 0;
    return readlinkat(processDirectory, "exe", &first, 1) > 0;
}

// Whether the process runs bubblewrap, the sandbox Flatpak starts programs in.
bool runsSandbox(int processDirectory) {
    char path[4096];
    const ssize_t read = readlinkat(processDirectory, "exe", path, sizeof path);
    if (read <= 0 || static_cast<std::size_t>(read) >= sizeof path) {
        return false;
    }
    const std::string_view link(path, static_cast<std::size_t>(read));
    return link.substr(link.find_last_of('/') + 1) == "bwrap";
}

// The first child the kernel lists for process PID (its main thread's), or 0.
std::uint32_t firstChild(int processDirectory, std::uint32_t pid) {
    const std::string name = "task/" + std::to_string(pid) + "/children";
    const Fd file(openat(processDirectory, name.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) {
        return 0;
    }
    char text[32] = {};
    if (read(file.fd, text, sizeof text - 1) <= 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

// A window said to be bubblewrap's is the sandboxed program's: the process it runs,
// below a second bwrap where that one is the sandbox's init. The real program names it.
// DIRECTORY is /proc/PID, opened with FLAGS; the program's directory takes its place.
void enterSandbox(Fd& directory, std::uint32_t pid, int flags) {
    constexpr int deepestSandbox = 4;
    for (int level = 0; level < deepestSandbox && runsSandbox(directory.fd); ++level) {
        pid = firstChild(directory.fd, pid);
        if (pid == 0) {
            return;
        }
        Fd child(open(("/proc/" + std::to_string(pid)).c_str(), flags));
        if (child.fd < 0 || !executableLinkReadable(child.fd)) {
            return;
        }
        directory.reset();
        directory.fd = child.release();
    }
}

} // namespace

// Succeeds when /proc/PID can be opened and its executable link read: a process whose
// link is closed to us (another user's, not dumpable, a zombie, a kernel thread) is
// one that can't be opened, as on Windows. The access rights asked for are not checked
// otherwise.
ProcessHandle openProcess(std::uint32_t, bool inheritHandle, std::uint32_t pid) {
    if (pid == 0) {
        return desktop::appIdStandingForProcess() != nullptr ? ProcessHandle(appIdProcess)
                                                             : ProcessHandle();
    }
    const std::string path = "/proc/" + std::to_string(pid);
    const int flags = O_RDONLY | O_DIRECTORY | (inheritHandle ? 0 : O_CLOEXEC);
    Fd directory(open(path.c_str(), flags));
    if (directory.fd < 0 || !executableLinkReadable(directory.fd)) {
        return ProcessHandle();
    }
    enterSandbox(directory, pid, flags);
    return ProcessHandle(static_cast<RawHandle>(directory.release()) + 1);
}

namespace {

// The kernel marks the link of an executable whose file was removed or replaced while
// it runs (as by every package upgrade) with this suffix. A file really named so, and
// still the one running, keeps it.
std::size_t withoutDeletedMark(int processDirectory, const char* path, std::size_t bytes) {
    constexpr std::string_view mark = " (deleted)";
    const std::string_view link(path, bytes);
    if (link.size() <= mark.size() || link.substr(link.size() - mark.size()) != mark) {
        return bytes;
    }
    struct stat running {};
    struct stat named {};
    const std::string asRead(link);
    if (fstatat(processDirectory, "exe", &running, 0) == 0 && stat(asRead.c_str(), &named) == 0 &&
        running.st_dev == named.st_dev && running.st_ino == named.st_ino) {
        return bytes;
    }
    return bytes - mark.size();
}

// The executable's path as the kernel gives it, in UTF-16 units with a terminator.
// 0 when it can't be read (not permitted, process gone) or doesn't fit.
std::uint32_t executablePath(const ProcessHandle& process, wchar_t* buffer, std::uint32_t size) {
    if (!process || process.get() == appIdProcess || buffer == nullptr || size == 0) {
        return 0;
    }
    buffer[0] = L'\0';
    // A destination of no units would make the codec count instead of convert.
    if (size < 2) {
        return 0;
    }
    char path[4096];
    const int directory = static_cast<int>(process.get() - 1);
    const ssize_t read = readlinkat(directory, "exe", path, sizeof path);
    if (read <= 0 || static_cast<std::size_t>(read) >= sizeof path) {
        return 0;
    }
    const std::size_t bytes = withoutDeletedMark(directory, path, static_cast<std::size_t>(read));
    const int units =
        codec::wideFromUtf8(path, static_cast<int>(bytes), buffer, static_cast<int>(size) - 1);
    if (units <= 0) {
        return 0;
    }
    buffer[units] = L'\0';
    return static_cast<std::uint32_t>(units);
}

} // namespace

std::uint32_t getProcessImageFileNameW(const ProcessHandle& process, wchar_t* buffer,
                                       std::uint32_t size) {
    return executablePath(process, buffer, size);
}

// The app id that stands for a process has no path: only its name is given.
std::uint32_t getModuleFileNameExW(const ProcessHandle& process, wchar_t* buffer,
                                   std::uint32_t size) {
    const std::string* appId = desktop::appIdStandingForProcess();
    if (process.get() != appIdProcess || appId == nullptr) {
        return executablePath(process, buffer, size);
    }
    if (buffer == nullptr || size < 2) {
        return 0;
    }
    const std::vector<wchar_t> name = desktop::widenUtf8(appId->data(), appId->size());
    if (name.size() >= size) {
        buffer[0] = L'\0';
        return 0;
    }
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = L'\0';
    return static_cast<std::uint32_t>(name.size());
}

wchar_t modulePathSeparator() {
    return L'/';
}

int wideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const wchar_t* text, int units,
                        char* destination, int destinationBytes, const char* defaultChar,
                        bool* usedDefaultChar) {
    // UTF-8 takes no default character and no flags, as on Windows.
    if (codePage != codePageUtf8 || flags != 0 || defaultChar != nullptr ||
        usedDefaultChar != nullptr) {
        return 0;
    }
    return codec::utf8FromWide(text, units, destination, destinationBytes);
}

int multiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text, int bytes,
                        wchar_t* destination, int destinationUnits) {
    if (codePage != codePageUtf8 || flags != 0) {
        return 0;
    }
    return codec::wideFromUtf8(text, bytes, destination, destinationUnits);
}

// The shell-link object can always be had here, but there is no Recent folder.
HResult coInitialize() {
    return 0;
}
void coUninitialize() {}

HResult coCreateInstance(const Guid&, std::uint32_t, const Guid&, ComReference& instance) {
    instance = ComReference(1);
    return 0;
}

HResult queryInterface(const ComReference&, const Guid&, ComReference& result) {
    result = ComReference(1);
    return 0;
}

constexpr HResult notImplemented = static_cast<HResult>(0x80004001u);

HResult persistFileLoad(const ComReference&, const wchar_t*, std::uint32_t) {
    return notImplemented;
}

HResult shellLinkGetPath(const ComReference&, wchar_t*, int, std::uint32_t) {
    return notImplemented;
}

HResult shGetFolderPathW(int, std::uint32_t, wchar_t*) {
    return notImplemented;
}

SearchHandle findFirstFileW(const wchar_t*, FindData&) {
    return SearchHandle();
}

// No search finds a file here, so no found name is compared; letter case is that of
// ASCII only.
int compareStringOrdinal(const wchar_t* left, int leftUnits, const wchar_t* right, int rightUnits,
                         bool ignoreCase) {
    const std::wstring_view a = leftUnits < 0
                                    ? std::wstring_view(left)
                                    : std::wstring_view(left, static_cast<std::size_t>(leftUnits));
    const std::wstring_view b =
        rightUnits < 0 ? std::wstring_view(right)
                       : std::wstring_view(right, static_cast<std::size_t>(rightUnits));
    const auto fold = [ignoreCase](wchar_t unit) {
        return ignoreCase && unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - L'a' + L'A')
                                                          : unit;
    };
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return fold(a[i]) < fold(b[i]) ? cstrLessThan : cstrGreaterThan;
        }
    }
    return a.size() == b.size() ? cstrEqual : a.size() < b.size() ? cstrLessThan : cstrGreaterThan;
}

void writeStandardOutput(const char* bytes, std::size_t count) {
    std::fwrite(bytes, 1, count, stdout);
}

void writeStandardError(const char* bytes, std::size_t count) {
    std::fwrite(bytes, 1, count, stderr);
}

void flushStandardError() {
    std::fflush(stderr);
}

} // namespace platform
