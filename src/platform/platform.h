// The one boundary between the sampler and an operating system. Every call the
// sampler makes to a window manager, process table, text service, shell folder or
// component runtime goes through here. Each platform has its own provider
// (platform_win32.cpp, platform_linux.cpp, platform_fake.cpp); exactly one of them is
// linked into a binary. The functions mirror the Windows calls they are named after,
// so that a provider only translates.
//
// Wide text is UTF-16: one code unit in each wchar_t, also where wchar_t is wider.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// A status code as the platform reports it (HRESULT): failed when negative.
using HResult = std::int32_t;
constexpr bool failed(HResult status) {
    return status < 0;
}

// An opaque platform object, pointer-sized; 0 stands for none.
using RawHandle = std::uintptr_t;
using WindowHandle = RawHandle;

void closeHandle(RawHandle process);
void findClose(RawHandle search);
void releaseComReference(RawHandle reference);

// Owns one platform object and releases it exactly once, on every path.
template <void (*Release)(RawHandle)> class Owned {
  public:
    Owned() = default;
    explicit Owned(RawHandle raw) : raw_(raw) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : raw_(other.raw_) { other.raw_ = 0; }
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            raw_ = other.raw_;
            other.raw_ = 0;
        }
        return *this;
    }
    ~Owned() { reset(); }

    RawHandle get() const { return raw_; }
    explicit operator bool() const { return raw_ != 0; }
    void reset() {
        if (raw_ != 0) {
            Release(raw_);
            raw_ = 0;
        }
    }

  private:
    RawHandle raw_ = 0;
};

using ProcessHandle = Owned<closeHandle>;
using SearchHandle = Owned<findClose>;
using ComReference = Owned<releaseComReference>;

// Memory for the run's records: zero-filled, or null when it can't be had.
void* allocateZeroed(std::size_t bytes);

// Window manager.
WindowHandle getForegroundWindow();
int getWindowTextW(WindowHandle window, wchar_t* buffer, int limit);
std::uint32_t getWindowThreadProcessId(WindowHandle window, std::uint32_t* pid);

// Processes.
constexpr std::uint32_t processQueryInformation = 0x0400;
constexpr std::uint32_t processVmRead = 0x0010;
ProcessHandle openProcess(std::uint32_t access, bool inheritHandle, std::uint32_t pid);
std::uint32_t getProcessImageFileNameW(const ProcessHandle& process, wchar_t* buffer,
                                       std::uint32_t size);
std::uint32_t getModuleFileNameExW(const ProcessHandle& process, wchar_t* buffer,
                                   std::uint32_t size);
// The separator of the module paths above.
wchar_t modulePathSeparator();

// Text conversions, with the counts and failures of the Windows calls. A count of -1
// means: up to and including the terminator.
constexpr std::uint32_t codePageUtf8 = 65001;
int wideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const wchar_t* text, int units,
                        char* destination, int destinationBytes, const char* defaultChar,
                        bool* usedDefaultChar);
int multiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text, int bytes,
                        wchar_t* destination, int destinationUnits);

// Component runtime and the shell-link component.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
constexpr std::uint32_t contextInprocServer = 1;
HResult coInitialize();
void coUninitialize();
HResult coCreateInstance(const Guid& classId, std::uint32_t context, const Guid& interfaceId,
                         ComReference& instance);
HResult queryInterface(const ComReference& object, const Guid& interfaceId, ComReference& result);
HResult persistFileLoad(const ComReference& persistFile, const wchar_t* path, std::uint32_t mode);
HResult shellLinkGetPath(const ComReference& shellLink, wchar_t* buffer, int size,
                         std::uint32_t flags);

// Shell folders and directory search.
constexpr int maxPath = 260;
constexpr int csidlRecent = 8;
constexpr std::uint32_t shgfpTypeCurrent = 0;
HResult shGetFolderPathW(int csidl, std::uint32_t flags, wchar_t* buffer);

constexpr std::uint32_t fileAttributeDirectory = 0x10;
struct FindData {
    std::uint32_t attributes;
    wchar_t fileName[maxPath];
};
SearchHandle findFirstFileW(const wchar_t* pattern, FindData& data);

// Compares two names code unit by code unit, letter case ignored on request as the file
// system ignores it. A count of -1 means: up to the terminator.
constexpr int cstrLessThan = 1;
constexpr int cstrEqual = 2;
constexpr int cstrGreaterThan = 3;
int compareStringOrdinal(const wchar_t* left, int leftUnits, const wchar_t* right, int rightUnits,
                         bool ignoreCase);

// Standard streams, byte for byte: nothing is translated on the way out.
void writeStandardOutput(const char* bytes, std::size_t count);
void writeStandardError(const char* bytes, std::size_t count);
void flushStandardError();

} // namespace platform
