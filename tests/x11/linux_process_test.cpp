// The Linux provider's processes: /proc opened and released, and the executable path
// copied only when it fits, as the Windows calls do.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

constexpr std::uint32_t queryAccess = platform::processQueryInformation | platform::processVmRead;

int descriptorOf(const platform::ProcessHandle& process) {
    return static_cast<int>(process.get() - 1);
}

TEST(LinuxProcess, OpenHoldsTheProcessUntilReleased) {
    platform::ProcessHandle process = platform::openProcess(queryAccess, false, getpid());
    ASSERT_TRUE(process);
    const int descriptor = descriptorOf(process);
    EXPECT_EQ(fcntl(descriptor, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    process.reset();
    EXPECT_EQ(fcntl(descriptor, F_GETFD), -1);
}

TEST(LinuxProcess, InheritableWhenAskedFor) {
    const platform::ProcessHandle process = platform::openProcess(queryAccess, true, getpid());
    ASSERT_TRUE(process);
    EXPECT_EQ(fcntl(descriptorOf(process), F_GETFD) & FD_CLOEXEC, 0);
}

TEST(LinuxProcess, NoProcessNoHandle) {
    EXPECT_FALSE(platform::openProcess(queryAccess, false, 0));
    // Beyond the largest pid the kernel ever gives.
    EXPECT_FALSE(platform::openProcess(queryAccess, false, 4194305));
}

// The path fits only with its terminator; otherwise nothing is copied.
TEST(LinuxProcess, ExecutablePathOnlyWhenItFits) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto length = static_cast<std::uint32_t>(self.size());
    const platform::ProcessHandle process = platform::openProcess(queryAccess, false, getpid());
    ASSERT_TRUE(process);
    struct Size {
        std::uint32_t units;
        std::uint32_t expected;
    };
    for (const Size size : {Size{length + 1, length}, Size{length + 40, length}, Size{length, 0},
                            Size{2, 0}, Size{1, 0}, Size{0, 0}}) {
        for (auto read : {platform::getProcessImageFileNameW, platform::getModuleFileNameExW}) {
            std::wstring buffer(length + 64, L'#');
            EXPECT_EQ(read(process, buffer.data(), size.units), size.expected)
                << "size " << size.units;
            if (size.expected != 0) {
                EXPECT_EQ(buffer.substr(0, length + 1),
                          std::wstring(self.begin(), self.end()) + L'\0');
            }
            EXPECT_EQ(buffer[size.units < 1 ? 0 : size.units], L'#') << "size " << size.units;
        }
    }
}

TEST(LinuxProcess, ExecutablePathOfNoProcessIsEmpty) {
    wchar_t buffer[16] = L"untouched";
    EXPECT_EQ(platform::getModuleFileNameExW(platform::ProcessHandle(), buffer, 16), 0u);
}

} // namespace
