// The Windows build knows the Windows applications alone.
#include "knowledge/linux_app_table.h"

const AppEntry* lookupLinuxApp(const std::wstring&, const std::wstring&, bool) {
    return nullptr;
}

const AppEntry* linuxAppForTitle(const AppEntry* entry, std::string_view) {
    return entry;
}

std::vector<std::wstring> linuxAppNames() {
    return {};
}
