// The Linux programs as the native build names them: each found by its executable (or
// its Wayland app id), with its category, and its real titles curated.
#include "knowledge/app_table.h"
#include "knowledge/linux_app_table.h"
#include "knowledge/title_curation.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

std::string shown(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        out += c < 0x80 ? std::string(1, static_cast<char>(c))
                        : "<U+" + std::to_string(static_cast<unsigned>(c)) + ">";
    }
    return out;
}

struct Case {
    const wchar_t* name; // executable file name, or app id
    const wchar_t* path; // image path; empty for an app id
    const wchar_t* title;
    const wchar_t* displayName;
    CategoryNumber category;
    const wchar_t* curated;
    const wchar_t* doc; // null: the curated title
};

const Case cases[] = {
    // Browsers: Firefox's em dash, Chromium's hyphen, private windows hidden.
    {L"firefox", L"/usr/lib/firefox/firefox", L"Inbox (3) \u2014 Mozilla Firefox",
     L"Mozilla Firefox", 1, L"Inbox (3)", nullptr},
    {L"firefox", L"/snap/firefox/4173/usr/lib/firefox/firefox",
     L"Bank \u2014 Mozilla Firefox Private Browsing", L"Mozilla Firefox", 1, L"[Private]", L""},
    {L"firefox-esr", L"/usr/lib/firefox-esr/firefox-esr", L"a - b \u2014 Mozilla Firefox",
     L"Mozilla Firefox", 1, L"a - b", nullptr},
    {L"firefox", L"/app/lib/firefox/firefox", L"Mozilla Firefox", L"Mozilla Firefox", 1,
     L"Mozilla Firefox", nullptr},
    {L"chromium", L"/usr/lib/chromium/chromium", L"Inbox (3) - Mail - Chromium", L"Chromium", 1,
     L"Inbox (3) - Mail", nullptr},
    {L"chrome", L"/snap/chromium/2695/usr/lib/chromium-browser/chrome",
     L"New Incognito tab - Chromium (Incognito)", L"Chromium", 1, L"[Private]", L""},
    {L"chrome", L"/opt/google/chrome/chrome", L"Docs - Google Chrome", L"Google Chrome", 1, L"Docs",
     nullptr},
    // A title whose last dash the program's name doesn't follow is its page's own.
    {L"chromium", L"/usr/lib/chromium/chromium", L"Notes - Tips for Chromium", L"Chromium", 1,
     L"Notes - Tips for Chromium", nullptr},
    {L"brave", L"/opt/brave.com/brave/brave", L"Search - Brave", L"Brave", 1, L"Search", nullptr},
    {L"vivaldi-bin", L"/opt/vivaldi/vivaldi-bin", L"Start - Vivaldi", L"Vivaldi", 1, L"Start",
     nullptr},
    {L"epiphany", L"/usr/bin/epiphany", L"GNOME - Wikipedia", L"GNOME Web", 1, L"GNOME - Wikipedia",
     nullptr},
    // Editors and IDEs.
    {L"code", L"/usr/share/code/code", L"main.cpp - app - Visual Studio Code",
     L"Visual Studio Code", 5, L"main.cpp - app", nullptr},
    {L"codium", L"/usr/share/codium/codium", L"a.py - VSCodium", L"VSCodium", 5, L"a.py", nullptr},
    {L"idea", L"/opt/idea-IU/bin/idea", L"shop \u2013 Main.java", L"IntelliJ IDEA", 5,
     L"shop \u2013 Main.java", nullptr},
    {L"datagrip", L"/opt/datagrip/bin/datagrip", L"db \u2013 console", L"DataGrip", 7,
     L"db \u2013 console", nullptr},
    {L"gedit", L"/usr/bin/gedit", L"notes.txt (~/Documents) - gedit", L"gedit", 5,
     L"notes.txt (~/Documents)", nullptr},
    {L"kate", L"/usr/bin/kate", L"todo.md \u2014 Kate", L"Kate", 5, L"todo.md", nullptr},
    {L"emacs-gtk", L"/usr/bin/emacs-gtk", L"init.el - GNU Emacs at box", L"Emacs", 5, L"init.el",
     nullptr},
    {L"vim.gtk3", L"/usr/bin/vim.gtk3", L"a.c (~/src) - GVIM", L"GVim", 5, L"a.c (~/src)", nullptr},
    // Terminals: the shell's title is kept.
    {L"gnome-terminal-server", L"/usr/libexec/gnome-terminal-server", L"ann@box: ~/src - x",
     L"GNOME Terminal", 12, L"ann@box: ~/src - x", nullptr},
    {L"konsole", L"/usr/bin/konsole", L"~ : bash \u2014 Konsole", L"Konsole", 12, L"~ : bash",
     nullptr},
    {L"wezterm-gui", L"/usr/bin/wezterm-gui", L"vim", L"WezTerm", 12, L"vim", nullptr},
    // Office, mail, chat, music, files, images, notes.
    {L"soffice.bin", L"/usr/lib/libreoffice/program/soffice.bin",
     L"report.odt - LibreOffice Writer", L"LibreOffice", 8, L"report.odt", nullptr},
    {L"thunderbird", L"/usr/lib/thunderbird/thunderbird", L"Inbox - Mozilla Thunderbird",
     L"Mozilla Thunderbird", 3, L"Inbox", nullptr},
    {L"Discord", L"/usr/share/discord/Discord", L"#general | Team - Discord", L"Discord", 2,
     L"#general | Team", nullptr},
    {L"spotify", L"/usr/share/spotify/spotify", L"Artist - Song", L"Spotify", 13, L"Artist - Song",
     nullptr},
    {L"dolphin", L"/usr/bin/dolphin", L"Documents \u2014 Dolphin", L"Dolphin", 10, L"Documents",
     nullptr},
    {L"loupe", L"/usr/bin/loupe", L"cat.jpg", L"Image Viewer", 14, L"cat.jpg", nullptr},
    {L"obsidian", L"/opt/Obsidian/obsidian", L"Plan - vault - Obsidian v1.5.3", L"Obsidian", 6,
     L"Plan - vault", nullptr},
    {L"swaylock", L"/usr/bin/swaylock", L"", L"Locked screen", 4, L"", nullptr},
    {L"polkit-gnome-authentication-agent-1", L"/usr/libexec/polkit-gnome-authentication-agent-1",
     L"Authenticate", L"System", 4, L"Authenticate", nullptr},
};

// Wayland windows named by app id alone, in whatever case the program gives it.
const Case appIdCases[] = {
    {L"org.gnome.Nautilus", L"", L"Documents", L"Files", 10, L"Documents", nullptr},
    {L"Alacritty", L"", L"htop", L"Alacritty", 12, L"htop", nullptr},
    {L"libreoffice-calc", L"", L"budget.ods - LibreOffice Calc", L"LibreOffice Calc", 9,
     L"budget.ods", nullptr},
    {L"org.mozilla.firefox", L"", L"Mozilla Firefox Private Browsing", L"Mozilla Firefox", 1,
     L"[Private]", L""},
    {L"jetbrains-pycharm-ce", L"", L"proj \u2013 a.py", L"PyCharm", 5, L"proj \u2013 a.py",
     nullptr},
    {L"FIREFOX", L"", L"x \u2014 Firefox", L"Mozilla Firefox", 1, L"x", nullptr},
};

void expectCase(const Case& c, bool appId) {
    const std::string label = shown(c.name) + " " + shown(c.title);
    const AppEntry* entry = lookupOwnerApp(c.name, c.path, appId);
    ASSERT_NE(entry, nullptr) << label;
    EXPECT_EQ(shown(entry->displayName), shown(c.displayName)) << label;
    EXPECT_EQ(entry->displayNameLength, static_cast<std::int32_t>(std::wcslen(c.displayName)));
    EXPECT_EQ(entry->category, c.category) << label;
    if (c.title[0] == L'\0') {
        return; // the sampler curates no empty title
    }
    const CuratedTitle curated = curateTitle(c.title, entry);
    EXPECT_EQ(shown(curated.curatedTitle), shown(c.curated)) << label;
    EXPECT_EQ(shown(curated.documentName), shown(c.doc != nullptr ? c.doc : c.curated)) << label;
}

TEST(LinuxAppTable, NamesCategoriesAndCuratedTitles) {
    for (const Case& c : cases) {
        expectCase(c, false);
    }
    for (const Case& c : appIdCases) {
        expectCase(c, true);
    }
}

// LibreOffice's one process shows every component: its window's title says which.
TEST(LinuxAppTable, LibreOfficeWindowsByTheirTitles) {
    const AppEntry* office =
        lookupOwnerApp(L"soffice.bin", L"/usr/lib/libreoffice/program/soffice.bin", false);
    ASSERT_NE(office, nullptr);
    struct Window {
        const char* title;
        const char* name;
        CategoryNumber category;
    };
    for (const Window w : {Window{"report.odt - LibreOffice Writer", "LibreOffice Writer", 8},
                           Window{"budget.ods - LibreOffice Calc", "LibreOffice Calc", 9},
                           Window{"deck.odp - LibreOffice Impress", "LibreOffice Impress", 15},
                           Window{"LibreOffice", "LibreOffice", 8},
                           Window{"a - LibreOffice Calc (old)", "LibreOffice", 8}}) {
        const AppEntry* entry = linuxAppForTitle(office, w.title);
        ASSERT_NE(entry, nullptr) << w.title;
        EXPECT_EQ(shown(entry->displayName), w.name) << w.title;
        EXPECT_EQ(entry->category, w.category) << w.title;
    }
    const AppEntry* other = lookupOwnerApp(L"gedit", L"/usr/bin/gedit", false);
    EXPECT_EQ(linuxAppForTitle(other, "notes - LibreOffice Calc"), other);
    EXPECT_EQ(linuxAppForTitle(nullptr, "notes - LibreOffice Calc"), nullptr);
}

TEST(LinuxAppTable, ExecutablesMatchExactlyAndAppIdsOnlyAsAppIds) {
    for (const wchar_t* absent : {L"Firefox", L"firefox.exe", L"org.gnome.Nautilus",
                                  L"libreoffice-calc", L"java", L"studio", L""}) {
        const std::wstring path = std::wstring(L"/usr/bin/") + absent;
        EXPECT_EQ(lookupOwnerApp(absent, path, false), nullptr) << shown(absent);
    }
    // "chrome" is Chromium's in its snap, Google Chrome's elsewhere.
    EXPECT_EQ(shown(lookupOwnerApp(L"chrome", L"/opt/google/chrome/chrome", false)->displayName),
              "Google Chrome");
    EXPECT_EQ(lookupOwnerApp(L"studio", L"/opt/android-studio/bin/studio", false)->category, 5);
}

// The Windows executable's lines can't change: no Linux name is a Windows table key or
// an .exe, and every Windows file name (the table's, and lowered or as an app id) is
// found exactly as the Windows table alone finds it.
TEST(LinuxAppTable, NeverMatchesAWindowsExecutable) {
    const AppTable windows = buildAppTable();
    for (const std::wstring& name : linuxAppNames()) {
        EXPECT_EQ(lookupApp(name), nullptr) << shown(name);
        const std::wstring tail = name.size() >= 4 ? name.substr(name.size() - 4) : L"";
        EXPECT_NE(tail == L".exe" || tail == L".EXE", true) << shown(name);
    }
    for (const auto& [exe, entry] : windows) {
        const std::wstring path = L"/Device/HarddiskVolume3/Program Files/" + exe;
        EXPECT_EQ(lookupOwnerApp(exe, path, false), lookupApp(exe)) << shown(exe);
        EXPECT_EQ(lookupOwnerApp(exe, L"", true), lookupApp(exe)) << shown(exe);
        EXPECT_EQ(lookupLinuxApp(exe, path, false), nullptr) << shown(exe);
        EXPECT_EQ(lookupLinuxApp(exe, L"", true), nullptr) << shown(exe);
        std::wstring lowered = exe;
        for (wchar_t& c : lowered) {
            c = static_cast<wchar_t>(std::towlower(c));
        }
        EXPECT_EQ(lookupLinuxApp(lowered, L"", true), nullptr) << shown(lowered);
        EXPECT_EQ(lookupLinuxApp(lowered, path, false), nullptr) << shown(lowered);
    }
    for (const wchar_t* other : {L"notepad.exe", L"chrome.exe", L"firefox.exe", L"Unknown"}) {
        EXPECT_EQ(lookupLinuxApp(other, L"C:/Windows/" + std::wstring(other), false), nullptr);
        EXPECT_EQ(lookupLinuxApp(other, L"", true), nullptr);
    }
}

} // namespace
