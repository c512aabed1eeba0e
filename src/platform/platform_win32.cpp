// The Windows provider: each operation is the Windows call of its name.
#include "platform/platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <objidl.h>
#include <psapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace platform {
namespace {

static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(wchar_t) == 2);

template <class T> T* as(RawHandle raw) {
    return reinterpret_cast<T*>(raw);
}
RawHandle raw(const void* pointer) {
    return reinterpret_cast<RawHandle>(pointer);
}

GUID toGuid(const Guid& id) {
    GUID result;
    std::memcpy(&result, &id, sizeof result);
    return result;
}

HWND toWindow(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

// The line ends are written as they are, CR LF, never translated again.
void setBinary(std::FILE* stream) {
    static bool outputBinary = false;
    static bool errorBinary = false;
    bool& done = stream == stdout ? outputBinary : errorBinary;
    if (!done) {
        _setmode(_fileno(stream), _O_BINARY);
        done = true;
    }
}

} // namespace

void closeHandle(RawHandle process) {
    CloseHandle(as<void>(process));
}
void findClose(RawHandle search) {
    FindClose(as<void>(search));
}
void releaseComReference(RawHandle reference) {
    as<IUnknown>(reference)->Release();
}

void* allocateZeroed(std::size_t bytes) {
    return std::calloc(1, bytes);
}

WindowHandle getForegroundWindow() {
    return raw(GetForegroundWindow());
}

int getWindowTextW(WindowHandle window, wchar_t* buffer, int limit) {
    return GetWindowTextW(toWindow(window), buffer, limit);
}

std::uint32_t getWindowThreadProcessId(WindowHandle window, std::uint32_t* pid) {
    DWORD owner = 0;
    const DWORD thread = GetWindowThreadProcessId(toWindow(window), &owner);
    *pid = owner;
    return thread;
}

ProcessHandle openProcess(std::uint32_t access, bool inheritHandle, std::uint32_t pid) {
    return ProcessHandle(raw(OpenProcess(access, inheritHandle ? TRUE : FALSE, pid)));
}

std::uint32_t getProcessImageFileNameW(const ProcessHandle& process, wchar_t* buffer,
                                       std::uint32_t size) {
    return K32GetProcessImageFileNameW(as<void>(process.get()), buffer, size);
}

std::uint32_t getModuleFileNameExW(const ProcessHandle& process, wchar_t* buffer,
                                   std::uint32_t size) {
    return K32GetModuleFileNameExW(as<void>(process.get()), nullptr, buffer, size);
}

wchar_t modulePathSeparator() {
    return L'\\';
}

int wideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const wchar_t* text, int units,
                        char* destination, int destinationBytes, const char* defaultChar,
                        bool* usedDefaultChar) {
    BOOL usedDefault = FALSE;
    const int count =
        WideCharToMultiByte(codePage, flags, text, units, destination, destinationBytes,
                            defaultChar, usedDefaultChar != nullptr ? &usedDefault : nullptr);
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = usedDefault != FALSE;
    }
    return count;
}

int multiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text, int bytes,
                        wchar_t* destination, int destinationUnits) {
    return MultiByteToWideChar(codePage, flags, text, bytes, destination, destinationUnits);
}

HResult coInitialize() {
    return CoInitialize(nullptr);
}
void coUninitialize() {
    CoUninitialize();
}

HResult coCreateInstance(const Guid& classId, std::uint32_t context, const Guid& interfaceId,
                         ComReference& instance) {
    void* object = nullptr;
    const HRESULT status =
        CoCreateInstance(toGuid(classId), nullptr, context, toGuid(interfaceId), &object);
    instance = ComReference(raw(object));
    return status;
}

HResult queryInterface(const ComReference& object, const Guid& interfaceId, ComReference& result) {
    void* other = nullptr;
    const HRESULT status = as<IUnknown>(object.get())->QueryInterface(toGuid(interfaceId), &other);
    result = ComReference(raw(other));
    return status;
}

HResult persistFileLoad(const ComReference& persistFile, const wchar_t* path, std::uint32_t mode) {
    return as<IPersistFile>(persistFile.get())->Load(path, mode);
}

HResult shellLinkGetPath(const ComReference& shellLink, wchar_t* buffer, int size,
                         std::uint32_t flags) {
    return as<IShellLinkW>(shellLink.get())->GetPath(buffer, size, nullptr, flags);
}

HResult shGetFolderPathW(int csidl, std::uint32_t flags, wchar_t* buffer) {
    return SHGetFolderPathW(nullptr, csidl, nullptr, flags, buffer);
}

SearchHandle findFirstFileW(const wchar_t* pattern, FindData& data) {
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return SearchHandle();
    }
    data.attributes = entry.dwFileAttributes;
    static_assert(sizeof data.fileName == sizeof entry.cFileName);
    std::wmemcpy(data.fileName, entry.cFileName, maxPath);
    return SearchHandle(raw(search));
}

int compareStringOrdinal(const wchar_t* left, int leftUnits, const wchar_t* right, int rightUnits,
                         bool ignoreCase) {
    return CompareStringOrdinal(left, leftUnits, right, rightUnits, ignoreCase ? TRUE : FALSE);
}

void writeStandardOutput(const char* bytes, std::size_t count) {
    setBinary(stdout);
    std::fwrite(bytes, 1, count, stdout);
}

void writeStandardError(const char* bytes, std::size_t count) {
    setBinary(stderr);
    std::fwrite(bytes, 1, count, stderr);
}

void flushStandardError() {
    std::fflush(stderr);
}

} // namespace platform
