#include "documents/shortcut_resolver.h"

#include "platform/platform.h"

#include <string_view>

namespace {

constexpr platform::Guid clsidShellLink{
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr platform::Guid iidShellLinkW{
    0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr platform::Guid iidPersistFile{
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr std::uint32_t stgmRead = 0;
constexpr std::uint32_t slgpRawPath = 4;
constexpr std::string_view unavailableMessage = "Unable to access recent documents.\r\n";

// The run's one shell-link object, open from openShortcutResolver to
// closeShortcutResolver.
struct ShortcutResolver {
    platform::ComReference shellLink;
    platform::ComReference persistFile;
    bool comInitialized = false;
};

ShortcutResolver resolver;

// Only a successful initialisation is balanced, and only once.
void endComUse() {
    if (resolver.comInitialized) {
        platform::coUninitialize();
        resolver.comInitialized = false;
    }
}

// Window titles come from any program or web page: a name that a Windows file name
// can't hold would act as a wildcard or as path syntax in the search.
bool canBeFileName(const std::wstring& name) {
    if (name.empty()) {
        return false;
    }
    for (const wchar_t unit : name) {
        if (unit < 0x20 ||
            std::wstring_view(L"<>:\"/\\|?*").find(unit) != std::wstring_view::npos) {
            return false;
        }
    }
    return true;
}

wchar_t asciiUpper(wchar_t unit) {
    return unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - L'a' + L'A') : unit;
}

bool sameAsciiIgnoringCase(std::wstring_view name, std::wstring_view upper) {
    if (name.size() != upper.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (asciiUpper(name[i]) != upper[i]) {
            return false;
        }
    }
    return true;
}

// The platform takes these names for devices in every folder, with any extension: a
// lookup of COM1.docx.lnk would open the serial port, which can block the run for good.
// What counts is the part before the first dot, without trailing spaces.
bool namesDevice(std::wstring_view name) {
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.remove_suffix(1);
    }
    for (const std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (sameAsciiIgnoringCase(stem, device)) {
            return true;
        }
    }
    if (stem.size() != 4 || !(sameAsciiIgnoringCase(stem.substr(0, 3), L"COM") ||
                              sameAsciiIgnoringCase(stem.substr(0, 3), L"LPT"))) {
        return false;
    }
    const wchar_t port = stem[3];
    return (port >= L'1' && port <= L'9') || port == L'\u00B9' || port == L'\u00B2' ||
           port == L'\u00B3';
}

// A search may report an entry other than the file asked for (a device, under its own
// name): only the file of the searched name is the document's shortcut.
bool isSearchedName(const wchar_t* found, const std::wstring& searched) {
    return platform::compareStringOrdinal(found, -1, searched.c_str(),
                                          static_cast<int>(searched.size()),
                                          true) == platform::cstrEqual;
}

} // namespace

bool openShortcutResolver() {
    resolver.comInitialized = !platform::failed(platform::coInitialize());
    if (!platform::failed(platform::coCreateInstance(clsidShellLink, platform::contextInprocServer,
                                                     iidShellLinkW, resolver.shellLink)) &&
        !platform::failed(
            platform::queryInterface(resolver.shellLink, iidPersistFile, resolver.persistFile))) {
        return true;
    }
    platform::writeStandardError(unavailableMessage.data(), unavailableMessage.size());
    platform::flushStandardError();
    resolver.persistFile.reset();
    resolver.shellLink.reset();
    endComUse();
    return false;
}

bool resolveRecentDocument(const std::wstring& documentName, wchar_t* target) {
    if (!resolver.persistFile || !resolver.shellLink || !canBeFileName(documentName) ||
        namesDevice(documentName)) {
        return false;
    }
    wchar_t folder[platform::maxPath] = {};
    if (platform::failed(platform::shGetFolderPathW(platform::csidlRecent,
                                                    platform::shgfpTypeCurrent, folder))) {
        return false;
    }
    folder[platform::maxPath - 1] = L'\0';
    const std::wstring folderPrefix = std::wstring(folder) + L'\\';
    const std::wstring shortcutName = documentName + L".lnk";
    const std::wstring pattern = folderPrefix + shortcutName;

    platform::FindData found{};
    const platform::SearchHandle search = platform::findFirstFileW(pattern.c_str(), found);
    if (!search || (found.attributes & platform::fileAttributeDirectory) != 0) {
        return false;
    }
    found.fileName[platform::maxPath - 1] = L'\0';
    if (!isSearchedName(found.fileName, shortcutName)) {
        return false;
    }
    const std::wstring shortcutPath = folderPrefix + found.fileName;
    if (platform::failed(
            platform::persistFileLoad(resolver.persistFile, shortcutPath.c_str(), stgmRead))) {
        return false;
    }
    return !platform::failed(
        platform::shellLinkGetPath(resolver.shellLink, target, platform::maxPath, slgpRawPath));
}

void closeShortcutResolver() {
    resolver.persistFile.reset();
    resolver.shellLink.reset();
    endComUse();
}
