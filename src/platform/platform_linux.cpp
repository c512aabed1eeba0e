// The Linux provider. There is no desktop support yet: no foreground window.
#include "platform/platform.h"
#include "platform/text_codec.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void closeHandle(RawHandle) {}
void findClose(RawHandle) {}
void releaseComReference(RawHandle) {}

void* allocateZeroed(std::size_t bytes) { return std::calloc(1, bytes); }

WindowHandle getForegroundWindow() { return 0; }

int getWindowTextW(WindowHandle, wchar_t* buffer, int limit) {
    if (limit > 0) {
        buffer[0] = L'\0';
    }
    return 0;
}

std::uint32_t getWindowThreadProcessId(WindowHandle, std::uint32_t*) { return 0; }

ProcessHandle openProcess(std::uint32_t, bool, std::uint32_t) { return ProcessHandle(); }

std::uint32_t getProcessImageFileNameW(const ProcessHandle&, wchar_t*, std::uint32_t) {
    return 0;
}

std::uint32_t getModuleFileNameExW(const ProcessHandle&, wchar_t*, std::uint32_t) { return 0; }

wchar_t modulePathSeparator() { return L'/'; }

int wideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const wchar_t* text,
                        int units, char* destination, int destinationBytes,
                        const char* defaultChar, bool* usedDefaultChar) {
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
HResult coInitialize() { return 0; }
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

HResult shGetFolderPathW(int, std::uint32_t, wchar_t*) { return notImplemented; }

SearchHandle findFirstFileW(const wchar_t*, FindData&) { return SearchHandle(); }

void writeStandardOutput(const char* bytes, std::size_t count) {
    std::fwrite(bytes, 1, count, stdout);
}

void writeStandardError(const char* bytes, std::size_t count) {
    std::fwrite(bytes, 1, count, stderr);
}

void flushStandardError() { std::fflush(stderr); }

} // namespace platform
