#include "app/run_driver.h"

#include "app/activity_output.h"
#include "documents/shortcut_resolver.h"
#include "knowledge/title_curation.h"
#include "platform/platform.h"
#include "sampling/foreground_capture.h"
#include "sampling/owner_process.h"

#include <algorithm>
#include <string>

namespace {

// The title as capture narrowed it, read back by the same encoding. Empty when it
// decodes to nothing.
std::wstring decodeTitle(const ActivityRecord& record) {
    const int units =
        platform::multiByteToWideChar(platform::codePageUtf8, 0, record.title, -1, nullptr, 0);
    if (units < 2) {
        return {};
    }
    std::wstring title(static_cast<std::size_t>(units), L'\0');
    if (platform::multiByteToWideChar(platform::codePageUtf8, 0, record.title, -1, title.data(),
                                      units) != units) {
        return {};
    }
    title.resize(static_cast<std::size_t>(units - 1));
    return title;
}

// Turns a resolved target into the record's document path, UTF-8 by code point with
// slashes. False when it can't be converted.
bool setDocumentPath(ActivityRecord& record, wchar_t* target) {
    target[platform::maxPath - 1] = L'\0';
    std::replace(target, target + platform::maxPath, L'\\', L'/');
    const int bytes = platform::wideCharToMultiByte(platform::codePageUtf8, 0, target, -1, nullptr,
                                                    0, nullptr, nullptr);
    if (bytes <= 0) {
        return false;
    }
    auto* path = static_cast<char*>(platform::allocateZeroed(static_cast<std::size_t>(bytes) + 1));
    if (path == nullptr || platform::wideCharToMultiByte(platform::codePageUtf8, 0, target, -1,
                                                         path, bytes, nullptr, nullptr) <= 0) {
        return false;
    }
    record.documentPath = path;
    record.documentPathLength = bytes;
    return true;
}

void sampleWindow(ActivityRecord& record) {
    const ProcessRecord* current = identifyOwnerProcess(record);
    const std::wstring title = decodeTitle(record);
    if (title.empty() || record.titleLength == 0) {
        writeActivityRecord(&record, nullptr, false);
        return;
    }
    const CuratedTitle curated = curateTitle(title, current != nullptr ? current->app : nullptr);
    const CuratedBytes bytes{encodeUtf8ByCodeUnit(curated.curatedTitle),
                             encodeUtf8ByCodeUnit(curated.documentName)};
    wchar_t target[platform::maxPath] = {};
    const bool resolved = resolveRecentDocument(std::wstring(curated.documentName), target) &&
                          setDocumentPath(record, target);
    writeActivityRecord(&record, &bytes, resolved);
}

} // namespace

int runSample() {
    if (!openShortcutResolver()) {
        return 0;
    }
    ActivityRecord* record = captureForegroundWindow();
    if (record == nullptr) {
        writeActivityRecord(nullptr, nullptr, false);
    } else {
        sampleWindow(*record);
    }
    closeShortcutResolver();
    return 0;
}
