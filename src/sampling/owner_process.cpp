#include "sampling/owner_process.h"

#include "knowledge/app_table.h"
#include "knowledge/linux_app_table.h"
#include "platform/platform.h"
#include "sampling/foreground_capture.h"

#include <string>

namespace {

const char sharedEmpty[] = "";

// The executable file name: the module path's text after its last separator. PATH: the
// module path as read.
std::wstring executableFileName(std::uint32_t pid, std::wstring& modulePath) {
    const platform::ProcessHandle process = platform::openProcess(
        platform::processQueryInformation | platform::processVmRead, false, pid);
    if (!process) {
        return L"Unknown";
    }
    wchar_t* path = pathWorkBuffer();
    const std::uint32_t count = platform::getModuleFileNameExW(process, path, wideBufferUnits);
    const wchar_t separator = platform::modulePathSeparator();
    std::wstring name;
    // The name must leave room for a terminator in the narrow buffer.
    const std::uint32_t end = count < wideBufferUnits ? count : wideBufferUnits - 1;
    for (std::uint32_t i = 0; i < end && path[i] != L'\0'; ++i) {
        modulePath.push_back(path[i]);
        if (path[i] == separator) {
            name.clear();
        } else {
            name.push_back(path[i]);
        }
    }
    return name;
}

} // namespace

ProcessRecord* identifyOwnerProcess(ActivityRecord& record) {
    const auto pid = static_cast<std::uint32_t>(record.owner->pid);
    std::wstring modulePath;
    const std::wstring exeName = executableFileName(pid, modulePath);
    // A process opened for pid 0 is the app id a Wayland compositor named the window by.
    const AppEntry* entry = lookupOwnerApp(exeName, modulePath, pid == 0);
    if (record.titleLength > 0) {
        entry = linuxAppForTitle(entry, record.title);
    }

    auto* process = static_cast<ProcessRecord*>(platform::allocateZeroed(sizeof(ProcessRecord)));
    auto* exeNameCopy =
        static_cast<wchar_t*>(platform::allocateZeroed((exeName.size() + 1) * sizeof(wchar_t)));
    if (process != nullptr && exeNameCopy != nullptr) {
        exeName.copy(exeNameCopy, exeName.size());
        *process = ProcessRecord{entry, static_cast<std::int32_t>(pid), exeNameCopy,
                                 static_cast<std::int32_t>(exeName.size())};
    } else {
        process = nullptr;
    }

    if (entry != nullptr) {
        record.category = entry->category;
    }
    auto* nameBuffer = static_cast<char*>(platform::allocateZeroed(textBufferBytes));
    if (nameBuffer == nullptr) {
        record.owner->name = sharedEmpty;
        record.owner->nameLength = 0;
        return process;
    }
    const wchar_t* name = entry != nullptr ? entry->displayName : exeName.c_str();
    const std::size_t units =
        entry != nullptr ? static_cast<std::size_t>(entry->displayNameLength) : exeName.size();
    record.owner->nameLength = toCLocaleNarrow(name, units + 1, nameBuffer);
    record.owner->name = nameBuffer;
    return process;
}
