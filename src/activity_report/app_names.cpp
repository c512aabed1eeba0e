#include "activity_report/app_names.h"

namespace report {

namespace {

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

} // namespace

bool AppNames::add(AppName app, int& firstLine) {
    const auto [found, added] = byExe.try_emplace(lowerAscii(app.exe), apps.size());
    if (!added) {
        firstLine = apps[found->second].line;
        return false;
    }
    apps.push_back(std::move(app));
    return true;
}

std::string_view executableOf(const logformat::LogEvent& event) {
    if (event.exePath.empty()) {
        return event.app;
    }
    const std::string_view path = event.exePath;
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

void applyAppNames(const AppNames& names, logformat::LogEvent& event) {
    if (names.empty() || event.state != logformat::ActivityState::active) {
        return;
    }
    const auto found = names.byExe.find(lowerAscii(executableOf(event)));
    if (found == names.byExe.end()) {
        return;
    }
    const AppName& app = names.apps[found->second];
    if (app.name) {
        event.app = *app.name;
    }
    if (app.category) {
        event.category = *app.category;
    }
}

} // namespace report
