// The Windows build knows the Windows applications alone.
#include "knowledge/linux_app_table.h"

const AppEntry* lookupLinuxApp(const std::wstring&, const std::wstring&, bool) {
    return nullptr;
}

std::vector<std::wstring> linuxAppNames() {
    return {};
}
