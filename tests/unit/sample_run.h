// Runs one whole sample on the scripted platform and gives back what it printed.
#pragma once

#include "app/run_driver.h"
#include "platform/platform_fake.h"

#include <string>
#include <string_view>

namespace test {

// UTF-16 text one unit to a wchar_t, whatever the width of wchar_t.
inline std::wstring units(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

// A desktop with one window of a known owner, as most tests want it.
inline platform::fake::Script windowOf(const std::wstring& title, const std::wstring& exeName) {
    platform::fake::Script script;
    script.foreground = 0x10;
    script.title = title;
    script.pid = 4242;
    script.imagePath = L"\\Device\\HarddiskVolume3\\Apps\\" + exeName;
    script.modulePath = L"C:\\Apps\\" + exeName;
    return script;
}

inline std::string runSampleWith(const platform::fake::Script& script) {
    platform::fake::reset();
    platform::fake::script() = script;
    const int status = runSample();
    return status == 0 ? platform::fake::record().standardOutput : "status not 0";
}

constexpr char noWindowLine[] = R"({"Title": "", "Curated_title": "", "Doc": "", "URL": "", )"
                                R"("Owner": {"Pid": 0, "Name": "Unknown", "Path": ""}, )"
                                "\"App_cat_nb\": 0}\r\n";

} // namespace test
