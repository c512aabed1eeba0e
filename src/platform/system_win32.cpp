#include "platform/system.h"

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
    // The zone's rules for that year (dynamic daylight saving), applied by the plain
    // conversion: SystemTimeToTzSpecificLocalTimeEx would do both at once, but Wine
    // doesn't implement it, and the collector's tests run there.
    TIME_ZONE_INFORMATION rules{};
    const bool forYear = GetTimeZoneInformationForYear(utc.wYear, &zone, &rules) != 0;
    SYSTEMTIME local{};
    if (!SystemTimeToTzSpecificLocalTime(forYear ? &rules : nullptr, &utc, &local)) {
        return 0;
    }
    return static_cast<std::int32_t>((ticksOf(local) - ticksOf(utc)) / 600'000'000);
}

std::filesystem::path userDataDirectory() {
    const DWORD units = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    if (units == 0) {
        return {};
    }
    std::wstring value(units, L'\0');
    const DWORD written = GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), units);
    if (written == 0 || written >= units) {
        return {};
    }
    value.resize(written);
    return std::filesystem::path(value);
}

} // namespace platform
