#include "sampling/foreground_capture.h"

#include "platform/platform.h"

namespace {

wchar_t titleWork[wideBufferUnits];
wchar_t pathWork[wideBufferUnits];
const char sharedEmpty[] = "";

// The title goes into a JSON string as it is: quotes and backslashes are made
// harmless first. Gives the units before the terminator, 0 when there is none.
int replaceTitleCharacters(wchar_t* title) {
    for (int i = 0; i < wideBufferUnits; ++i) {
        switch (title[i]) {
        case L'\0':
            return i;
        case L'"':
            title[i] = L' ';
            break;
        case L'\\':
            title[i] = L'/';
            break;
        default:
            break;
        }
    }
    return 0;
}

template <class T> T* allocateRecord(std::size_t bytes = sizeof(T)) {
    return static_cast<T*>(platform::allocateZeroed(bytes));
}

// Reads the owner's pid and image path; the path stays empty when it can't be read.
void captureImagePath(platform::WindowHandle window, OwnerRecord& owner, char* imagePathBuffer) {
    owner.imagePath = sharedEmpty;
    pathWork[0] = L'\0';
    std::uint32_t pid = 0;
    if (platform::getWindowThreadProcessId(window, &pid) == 0) {
        return;
    }
    owner.pid = pid;
    std::uint32_t units = 0;
    {
        const platform::ProcessHandle process = platform::openProcess(
            platform::processQueryInformation | platform::processVmRead, false, pid);
        if (!process) {
            return;
        }
        units = platform::getProcessImageFileNameW(process, pathWork, wideBufferUnits);
    }
    if (units == 0 || units >= static_cast<std::uint32_t>(wideBufferUnits)) {
        pathWork[0] = L'\0';
        return;
    }
    pathWork[units] = L'\0';
    for (std::uint32_t i = 0; i < units; ++i) {
        if (pathWork[i] == L'\\') {
            pathWork[i] = L'/';
        }
    }
    owner.imagePathLength = toCLocaleNarrow(pathWork, units + 1, imagePathBuffer);
    owner.imagePath = imagePathBuffer;
}

} // namespace

wchar_t* titleWorkBuffer() {
    return titleWork;
}
wchar_t* pathWorkBuffer() {
    return pathWork;
}

ActivityRecord* captureForegroundWindow() {
    const platform::WindowHandle window = platform::getForegroundWindow();
    titleWork[0] = L'\0';
    platform::getWindowTextW(window, titleWork, wideBufferUnits);
    const int titleUnits = replaceTitleCharacters(titleWork);

    auto* record = allocateRecord<ActivityRecord>();
    auto* owner = allocateRecord<OwnerRecord>();
    auto* imagePathBuffer = allocateRecord<char>(textBufferBytes);
    auto* titleBuffer = allocateRecord<char>(titleBufferBytes);
    if (record == nullptr || owner == nullptr || imagePathBuffer == nullptr ||
        titleBuffer == nullptr) {
        return nullptr;
    }
    record->owner = owner;
    record->title = sharedEmpty;

    captureImagePath(window, *owner, imagePathBuffer);

    if (titleUnits > 0) {
        const int bytes =
            platform::wideCharToMultiByte(platform::codePageUtf8, 0, titleWork, -1, titleBuffer,
                                          titleBufferBytes, nullptr, nullptr);
        if (bytes > 0) {
            record->title = titleBuffer;
            record->titleLength = bytes;
        }
    }
    return record;
}
