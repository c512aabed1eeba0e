// The scripted provider for unit tests: reports what the test set and records what
// the code under test did.
#include "platform/platform_fake.h"

#include "platform/text_codec.h"

#include <cstdlib>
#include <cwctype>
#include <vector>

namespace platform {
namespace fake {
namespace {

Script currentScript;
Record currentRecord;
std::vector<void*> allocations;
RawHandle nextComReference = 0x1000;

bool sameIgnoringCase(wchar_t a, wchar_t b) {
    return std::towlower(static_cast<std::wint_t>(a)) == std::towlower(static_cast<std::wint_t>(b));
}

// The search's name matching: letter case ignored, * any run, ? any one unit.
bool matches(const wchar_t* pattern, const wchar_t* name) {
    if (*pattern == L'\0') {
        return *name == L'\0';
    }
    if (*pattern == L'*') {
        for (const wchar_t* rest = name;; ++rest) {
            if (matches(pattern + 1, rest)) {
                return true;
            }
            if (*rest == L'\0') {
                return false;
            }
        }
    }
    if (*name == L'\0') {
        return false;
    }
    return (*pattern == L'?' || sameIgnoringCase(*pattern, *name)) &&
           matches(pattern + 1, name + 1);
}

const RecentEntry* recentEntry(const wchar_t* path) {
    const std::wstring prefix = currentScript.recentFolder + L'\\';
    const std::wstring full(path);
    if (full.compare(0, prefix.size(), prefix) != 0) {
        return nullptr;
    }
    const auto found = currentScript.recentFiles.find(full.substr(prefix.size()));
    return found == currentScript.recentFiles.end() ? nullptr : &found->second;
}

void copyText(const std::wstring& text, wchar_t* buffer, std::size_t limit) {
    const std::size_t units = text.size() < limit - 1 ? text.size() : limit - 1;
    text.copy(buffer, units);
    buffer[units] = L'\0';
}

} // namespace

Script& script() {
    return currentScript;
}
Record& record() {
    return currentRecord;
}

void reset() {
    for (void* block : allocations) {
        std::free(block);
    }
    allocations.clear();
    currentScript = Script{};
    currentRecord = Record{};
}

} // namespace fake

using fake::currentRecord;
using fake::currentScript;

void closeHandle(RawHandle) {
    ++currentRecord.processesClosed;
}
void findClose(RawHandle) {
    ++currentRecord.searchesClosed;
}
void releaseComReference(RawHandle) {
    ++currentRecord.comReferencesReleased;
}

void* allocateZeroed(std::size_t bytes) {
    if (currentRecord.allocations++ == currentScript.failAllocation) {
        return nullptr;
    }
    void* block = std::calloc(1, bytes);
    fake::allocations.push_back(block);
    return block;
}

WindowHandle getForegroundWindow() {
    return currentScript.foreground;
}

int getWindowTextW(WindowHandle window, wchar_t* buffer, int limit) {
    if (window == 0 || limit <= 0) {
        return 0;
    }
    if (currentScript.titleUnterminated) {
        for (int i = 0; i < limit; ++i) {
            buffer[i] = L'x';
        }
        return limit;
    }
    fake::copyText(currentScript.title, buffer, static_cast<std::size_t>(limit));
    return static_cast<int>(std::wcslen(buffer));
}

std::uint32_t getWindowThreadProcessId(WindowHandle window, std::uint32_t* pid) {
    if (window == 0 || currentScript.threadId == 0) {
        *pid = 0;
        return 0;
    }
    *pid = currentScript.pid;
    return currentScript.threadId;
}

ProcessHandle openProcess(std::uint32_t access, bool, std::uint32_t pid) {
    currentRecord.lastOpenAccess = access;
    if (pid == 0 || currentScript.openProcessFails) {
        return ProcessHandle();
    }
    ++currentRecord.processesOpened;
    return ProcessHandle(static_cast<RawHandle>(pid) + 1);
}

std::uint32_t getProcessImageFileNameW(const ProcessHandle& process, wchar_t* buffer,
                                       std::uint32_t size) {
    if (!process || currentScript.imagePathFails || currentScript.imagePath.empty()) {
        return 0;
    }
    fake::copyText(currentScript.imagePath, buffer, size);
    return static_cast<std::uint32_t>(std::wcslen(buffer));
}

std::uint32_t getModuleFileNameExW(const ProcessHandle& process, wchar_t* buffer,
                                   std::uint32_t size) {
    if (!process || currentScript.modulePathFails) {
        return 0;
    }
    fake::copyText(currentScript.modulePath, buffer, size);
    return static_cast<std::uint32_t>(std::wcslen(buffer));
}

wchar_t modulePathSeparator() {
    return L'\\';
}

int wideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const wchar_t* text, int units,
                        char* destination, int destinationBytes, const char* defaultChar,
                        bool* usedDefaultChar) {
    if (currentRecord.wideToNarrowCalls++ == currentScript.failWideToNarrowCall ||
        codePage != codePageUtf8 || flags != 0 || defaultChar != nullptr ||
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

HResult coInitialize() {
    ++currentRecord.coInitializeCalls;
    return currentScript.coInitializeResult;
}

void coUninitialize() {
    ++currentRecord.coUninitializeCalls;
}

namespace {

HResult makeReference(HResult result, ComReference& reference) {
    if (failed(result)) {
        reference = ComReference();
        return result;
    }
    ++currentRecord.comReferencesMade;
    reference = ComReference(fake::nextComReference++);
    return result;
}

} // namespace

HResult coCreateInstance(const Guid&, std::uint32_t, const Guid&, ComReference& instance) {
    return makeReference(currentScript.createInstanceResult, instance);
}

HResult queryInterface(const ComReference&, const Guid&, ComReference& result) {
    return makeReference(currentScript.queryInterfaceResult, result);
}

namespace {
const fake::RecentEntry* loadedEntry = nullptr;
}

HResult persistFileLoad(const ComReference&, const wchar_t* path, std::uint32_t mode) {
    currentRecord.lastLoadedPath = path;
    currentRecord.lastLoadMode = mode;
    loadedEntry = fake::recentEntry(path);
    constexpr HResult notAShortcut = static_cast<HResult>(0x80004005u);
    return loadedEntry != nullptr && loadedEntry->loadable ? 0 : notAShortcut;
}

HResult shellLinkGetPath(const ComReference&, wchar_t* buffer, int size, std::uint32_t flags) {
    currentRecord.lastGetPathFlags = flags;
    currentRecord.lastGetPathSize = size;
    if (loadedEntry == nullptr || failed(loadedEntry->getPathResult)) {
        return loadedEntry == nullptr ? static_cast<HResult>(0x80004005u)
                                      : loadedEntry->getPathResult;
    }
    fake::copyText(loadedEntry->target, buffer, static_cast<std::size_t>(size));
    return 0;
}

HResult shGetFolderPathW(int csidl, std::uint32_t, wchar_t* buffer) {
    ++currentRecord.recentFolderLookups;
    if (csidl != csidlRecent || failed(currentScript.recentFolderResult)) {
        return failed(currentScript.recentFolderResult) ? currentScript.recentFolderResult
                                                        : static_cast<HResult>(0x80070057u);
    }
    fake::copyText(currentScript.recentFolder, buffer, maxPath);
    return 0;
}

SearchHandle findFirstFileW(const wchar_t* pattern, FindData& data) {
    currentRecord.lastSearchPattern = pattern;
    const std::wstring prefix = currentScript.recentFolder + L'\\';
    const std::wstring full(pattern);
    if (full.compare(0, prefix.size(), prefix) != 0) {
        return SearchHandle();
    }
    const std::wstring namePattern = full.substr(prefix.size());
    const std::wstring stem = namePattern.substr(0, namePattern.find(L'.'));
    for (const std::wstring& device : currentScript.devices) {
        if (fake::matches(stem.c_str(), device.c_str())) {
            ++currentRecord.searchesStarted;
            data.attributes = 0x20; // FILE_ATTRIBUTE_ARCHIVE, as Windows reports a device
            fake::copyText(device, data.fileName, maxPath);
            return SearchHandle(static_cast<RawHandle>(currentRecord.searchesStarted));
        }
    }
    for (const auto& [name, entry] : currentScript.recentFiles) {
        if (fake::matches(namePattern.c_str(), name.c_str())) {
            ++currentRecord.searchesStarted;
            data.attributes = entry.attributes;
            fake::copyText(name, data.fileName, maxPath);
            return SearchHandle(static_cast<RawHandle>(currentRecord.searchesStarted));
        }
    }
    return SearchHandle();
}

// Letter case as the scripted search ignores it.
int compareStringOrdinal(const wchar_t* left, int leftUnits, const wchar_t* right, int rightUnits,
                         bool ignoreCase) {
    const std::wstring a = leftUnits < 0 ? std::wstring(left)
                                         : std::wstring(left, static_cast<std::size_t>(leftUnits));
    const std::wstring b = rightUnits < 0
                               ? std::wstring(right)
                               : std::wstring(right, static_cast<std::size_t>(rightUnits));
    const auto fold = [ignoreCase](wchar_t unit) {
        return ignoreCase ? static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(unit)))
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
    currentRecord.standardOutput.append(bytes, count);
}

void writeStandardError(const char* bytes, std::size_t count) {
    currentRecord.standardError.append(bytes, count);
}

void flushStandardError() {
    ++currentRecord.standardErrorFlushes;
}

} // namespace platform
