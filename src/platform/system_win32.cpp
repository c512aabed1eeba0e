#include "platform/system.h"

#include "platform/win32_handle.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t unixEpochAsFileTime = 116'444'736'000'000'000;

SYSTEMTIME systemTimeOf(std::int64_t unixMs) {
    const std::int64_t ticks = unixMs * 10'000 + unixEpochAsFileTime;
    FILETIME file;
    file.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME system{};
    FileTimeToSystemTime(&file, &system);
    return system;
}

std::int64_t ticksOf(const SYSTEMTIME& system) {
    FILETIME file{};
    SystemTimeToFileTime(&system, &file);
    return (static_cast<std::int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

} // namespace

std::int32_t localUtcOffsetMinutes(std::int64_t unixMs) {
    const SYSTEMTIME utc = systemTimeOf(unixMs);
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    if (GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) {
        return 0;
    }
    // The zone's rules for that moment's year, then the plain conversion: the same as
    // SystemTimeToTzSpecificLocalTimeEx, which Wine doesn't implement.
    TIME_ZONE_INFORMATION rules{};
    SYSTEMTIME local{};
    if (!GetTimeZoneInformationForYear(utc.wYear, &zone, &rules) ||
        !SystemTimeToTzSpecificLocalTime(&rules, &utc, &local)) {
        return 0;
    }
    return static_cast<std::int32_t>((ticksOf(local) - ticksOf(utc)) / 600'000'000);
}

namespace {

// The folder an environment variable names, or empty.
std::filesystem::path environmentFolder(const wchar_t* variable) {
    const DWORD units = GetEnvironmentVariableW(variable, nullptr, 0);
    if (units == 0) {
        return {};
    }
    std::wstring value(units, L'\0');
    const DWORD written = GetEnvironmentVariableW(variable, value.data(), units);
    if (written == 0 || written >= units) {
        return {};
    }
    value.resize(written);
    return std::filesystem::path(value);
}

} // namespace

std::filesystem::path userDataDirectory() {
    return environmentFolder(L"LOCALAPPDATA");
}

std::filesystem::path userConfigDirectory() {
    return environmentFolder(L"APPDATA");
}

std::filesystem::path userCacheDirectory() {
    return userDataDirectory();
}

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path) {
    // Backup semantics: a folder opens too. No access asked: only its attributes are read.
    const Win32Handle handle(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &information)) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber,
                        (std::uint64_t{information.nFileIndexHigh} << 32) |
                            information.nFileIndexLow};
}

} // namespace platform
