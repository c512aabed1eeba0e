#include "platform/system.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

namespace platform {

std::int32_t localUtcOffsetMinutes(std::int64_t unixMs) {
    // Floor to whole seconds, also before 1970.
    const std::time_t seconds =
        static_cast<std::time_t>(unixMs / 1000 - (unixMs % 1000 < 0 ? 1 : 0));
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return 0;
    }
    return static_cast<std::int32_t>(local.tm_gmtoff / 60);
}

namespace {

// $VARIABLE when it is an absolute path, else ~/FALLBACK.
std::filesystem::path xdgDirectory(const char* variable, const char* fallback) {
    const char* xdg = std::getenv(variable);
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0') {
        return {};
    }
    return std::filesystem::path(home) / fallback;
}

} // namespace

std::filesystem::path userDataDirectory() {
    return xdgDirectory("XDG_DATA_HOME", ".local/share");
}

std::filesystem::path userCacheDirectory() {
    return xdgDirectory("XDG_CACHE_HOME", ".cache");
}

std::filesystem::path userConfigDirectory() {
    return xdgDirectory("XDG_CONFIG_HOME", ".config");
}

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

} // namespace platform
