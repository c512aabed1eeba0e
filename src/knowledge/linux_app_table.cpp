#include "knowledge/linux_app_table.h"

#include "knowledge/app_table.h"

#include <cwchar>
#include <deque>
#include <map>
#include <string_view>

namespace {

// The Windows table's categories.
enum : CategoryNumber {
    browser = 1,
    message = 2,
    email = 3,
    systemCategory = 4,
    ide = 5,
    notes = 6,
    dbEdit = 7,
    word = 8,
    excel = 9,
    files = 10,
    shell = 12,
    music = 13,
    photo = 14,
    slides = 15,
};

struct LinuxRow {
    const wchar_t* executables; // file names, separated by spaces
    const wchar_t* appIds;      // separated by spaces
    const wchar_t* displayName;
    CategoryNumber category;
    // The names a title may end in after a spaced dash, separated by "|"; none: the
    // title is kept as it is (terminals, whose titles the shell sets; players).
    const wchar_t* titleNames = L"";
    const wchar_t* privateMarker = L"";
    // Only an image path holding this text: the row of an executable name that two
    // programs share comes before the one that takes the rest.
    const wchar_t* pathPart = L"";
};

// Display names are the Windows table's where the program is the same, so that a
// report over both systems' logs counts it once. Executables are those the packages
// run (the kernel's name of the running file: Debian's alternatives resolved), the
// Flatpak and Snap builds' included; app ids are those the programs give their windows.
const LinuxRow linuxRows[] = {
    // Browsers. Firefox ends its titles with an em dash, Chromium's family a hyphen.
    {L"firefox firefox-bin", L"firefox org.mozilla.firefox", L"Mozilla Firefox", browser,
     L"Mozilla Firefox|Firefox", L"Private Browsing"},
    {L"firefox-esr", L"firefox-esr", L"Mozilla Firefox", browser, L"Mozilla Firefox|Firefox",
     L"Private Browsing"},
    {L"chrome", L"", L"Chromium", browser, L"Chromium", L"(Incognito)", L"chromium"},
    {L"chromium chromium-browser", L"chromium chromium-browser org.chromium.Chromium", L"Chromium",
     browser, L"Chromium", L"(Incognito)"},
    {L"chrome google-chrome", L"google-chrome google-chrome-stable com.google.Chrome",
     L"Google Chrome", browser, L"Google Chrome", L"(Incognito)"},
    {L"brave brave-browser", L"brave-browser com.brave.Browser", L"Brave", browser, L"Brave"},
    {L"vivaldi-bin vivaldi", L"vivaldi-stable vivaldi com.vivaldi.Vivaldi", L"Vivaldi", browser,
     L"Vivaldi"},
    {L"epiphany", L"org.gnome.Epiphany", L"GNOME Web", browser},
    // Editors and IDEs. The JetBrains IDEs' titles are the project and the file.
    {L"code code-insiders", L"code code-url-handler com.visualstudio.code", L"Visual Studio Code",
     ide, L"Visual Studio Code"},
    {L"codium", L"vscodium com.vscodium.codium", L"VSCodium", ide, L"VSCodium"},
    {L"idea", L"jetbrains-idea jetbrains-idea-ce", L"IntelliJ IDEA", ide},
    {L"pycharm", L"jetbrains-pycharm jetbrains-pycharm-ce", L"PyCharm", ide},
    {L"clion", L"jetbrains-clion", L"CLion", ide},
    {L"goland", L"jetbrains-goland", L"GoLand", ide},
    {L"webstorm", L"jetbrains-webstorm", L"WebStorm", ide},
    {L"phpstorm", L"jetbrains-phpstorm", L"PhpStorm", ide},
    {L"rider", L"jetbrains-rider", L"Rider", ide},
    {L"rubymine", L"jetbrains-rubymine", L"RubyMine", ide},
    {L"rustrover", L"jetbrains-rustrover", L"RustRover", ide},
    {L"datagrip", L"jetbrains-datagrip", L"DataGrip", dbEdit},
    {L"studio", L"jetbrains-studio", L"Android Studio", ide, L"", L"", L"android-studio"},
    {L"gedit", L"org.gnome.gedit", L"gedit", ide, L"gedit"},
    {L"gnome-text-editor", L"org.gnome.TextEditor", L"Text Editor", ide, L"Text Editor"},
    {L"kate", L"org.kde.kate", L"Kate", ide, L"Kate"},
    {L"kwrite", L"org.kde.kwrite", L"KWrite", ide, L"KWrite"},
    {L"emacs emacs-gtk emacs-pgtk emacs-lucid emacs-gtk+x11", L"emacs", L"Emacs", ide,
     L"GNU Emacs"},
    {L"gvim vim.gtk3 vim.gtk vim.motif", L"gvim", L"GVim", ide, L"GVIM"},
    // Terminals: the shell sets the title, Konsole adds its name.
    {L"gnome-terminal-server", L"org.gnome.Terminal gnome-terminal", L"GNOME Terminal", shell},
    {L"kgx", L"org.gnome.Console", L"Console", shell},
    {L"konsole", L"org.kde.konsole", L"Konsole", shell, L"Konsole"},
    {L"kitty", L"kitty", L"kitty", shell},
    {L"alacritty", L"Alacritty", L"Alacritty", shell},
    {L"foot", L"foot footclient", L"foot", shell},
    {L"xterm", L"xterm", L"XTerm", shell},
    {L"tilix", L"com.gexperts.Tilix", L"Tilix", shell},
    {L"wezterm-gui", L"org.wezfurlong.wezterm", L"WezTerm", shell},
    // Office: one process for every LibreOffice window; the app ids tell them apart.
    {L"soffice.bin", L"libreoffice libreoffice-startcenter soffice org.libreoffice.LibreOffice",
     L"LibreOffice", word, L"LibreOffice"},
    {L"", L"libreoffice-writer", L"LibreOffice Writer", word, L"LibreOffice"},
    {L"", L"libreoffice-calc", L"LibreOffice Calc", excel, L"LibreOffice"},
    {L"", L"libreoffice-impress", L"LibreOffice Impress", slides, L"LibreOffice"},
    // Mail.
    {L"thunderbird thunderbird-bin", L"thunderbird org.mozilla.Thunderbird", L"Mozilla Thunderbird",
     email, L"Mozilla Thunderbird|Thunderbird"},
    {L"evolution", L"org.gnome.Evolution", L"Evolution", email, L"Evolution"},
    // Chat.
    {L"slack", L"slack com.slack.Slack", L"Slack", message, L"Slack"},
    {L"Discord discord", L"discord com.discordapp.Discord", L"Discord", message, L"Discord"},
    {L"signal-desktop", L"signal org.signal.Signal", L"Signal", message},
    {L"telegram-desktop Telegram", L"org.telegram.desktop telegramdesktop", L"Telegram", message},
    {L"element-desktop", L"element im.riot.Riot", L"Element", message},
    // Music: the title is the track.
    {L"spotify", L"spotify com.spotify.Client", L"Spotify", music},
    {L"rhythmbox", L"org.gnome.Rhythmbox3", L"Rhythmbox", music},
    // Files.
    {L"nautilus", L"org.gnome.Nautilus", L"Files", files},
    {L"dolphin", L"org.kde.dolphin", L"Dolphin", files, L"Dolphin"},
    {L"thunar", L"thunar", L"Thunar", files, L"Thunar|File Manager"},
    // Images.
    {L"eog", L"org.gnome.eog", L"Image Viewer", photo},
    {L"loupe", L"org.gnome.Loupe", L"Image Viewer", photo},
    {L"gwenview", L"org.kde.gwenview", L"Gwenview", photo, L"Gwenview"},
    // Notes.
    {L"obsidian", L"obsidian md.obsidian.Obsidian", L"Obsidian", notes, L"Obsidian"},
    {L"joplin @joplinapp-desktop", L"joplin net.cozic.joplin_desktop", L"Joplin", notes},
    // Lock screens, launchers and the system's own windows and dialogs.
    {L"xscreensaver xscreensaver-gfx i3lock swaylock light-locker kscreenlocker_greet "
     L"xsecurelock slock cinnamon-screensaver mate-screensaver xfce4-screensaver "
     L"gnome-screensaver",
     L"", L"Locked screen", systemCategory},
    {L"krunner rofi wofi fuzzel ulauncher albert", L"org.kde.krunner", L"System search",
     systemCategory},
    {L"gnome-control-center systemsettings xfce4-settings-manager", L"org.gnome.Settings",
     L"Settings", systemCategory},
    {L"gnome-shell plasmashell xfce4-panel polkit-gnome-authentication-agent-1 "
     L"polkit-kde-authentication-agent-1 polkit-mate-authentication-agent-1 lxpolkit "
     L"xfce-polkit gcr-prompter pinentry-gnome3 pinentry-gtk-2 pinentry-qt ksshaskpass "
     L"xdg-desktop-portal-gnome xdg-desktop-portal-gtk xdg-desktop-portal-kde zenity kdialog",
     L"org.kde.plasmashell org.kde.polkit-kde-authentication-agent-1", L"System", systemCategory},
};

// The words of TEXT between SEPARATOR, in order.
std::vector<std::wstring> split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> words;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find(separator, from);
        end = end == std::wstring_view::npos ? text.size() : end;
        if (end > from) {
            words.emplace_back(text.substr(from, end - from));
        }
        from = end + 1;
    }
    return words;
}

// App ids differ in case from one packaging to the next ("Alacritty", "alacritty").
std::wstring lowerAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

struct ByExecutable {
    std::wstring pathPart;
    const AppEntry* entry;
};

struct LinuxTable {
    std::multimap<std::wstring, ByExecutable> byExecutable; // in the rows' order
    std::map<std::wstring, const AppEntry*> byAppId;        // lower case; the first row wins
    // What the entries point into; a deque keeps each element where it was put.
    std::deque<std::wstring> names;
    std::deque<AppTitleSuffix> suffixes;
    std::deque<AppEntry> entries;
};

const AppEntry* addEntry(LinuxTable& table, const LinuxRow& row) {
    std::wstring& name = table.names.emplace_back(row.displayName);
    AppEntry& entry = table.entries.emplace_back(AppEntry{
        name.data(), static_cast<std::int32_t>(name.size()), KeepTitle, row.category, {}, nullptr});
    if (row.titleNames[0] != L'\0') {
        entry.titleSuffix = &table.suffixes.emplace_back(
            AppTitleSuffix{split(row.titleNames, L'|'), row.privateMarker});
    }
    return &entry;
}

LinuxTable buildLinuxTable() {
    LinuxTable table;
    for (const LinuxRow& row : linuxRows) {
        const AppEntry* entry = addEntry(table, row);
        for (const std::wstring& executable : split(row.executables, L' ')) {
            table.byExecutable.emplace(executable, ByExecutable{row.pathPart, entry});
            // A row of one program among those sharing the name is not its app id.
            if (row.pathPart[0] == L'\0') {
                table.byAppId.emplace(lowerAscii(executable), entry);
            }
        }
        for (const std::wstring& appId : split(row.appIds, L' ')) {
            table.byAppId.emplace(lowerAscii(appId), entry);
        }
    }
    return table;
}

const LinuxTable linuxTable = buildLinuxTable();

// The windows of one process that are different programs, each known by its title's
// end and standing for the app id its windows have on Wayland.
struct TitleVariant {
    const wchar_t* executable;
    std::string_view titleEnd;
    const wchar_t* appId;
};
constexpr TitleVariant titleVariants[] = {
    {L"soffice.bin", " - LibreOffice Writer", L"libreoffice-writer"},
    {L"soffice.bin", " - LibreOffice Calc", L"libreoffice-calc"},
    {L"soffice.bin", " - LibreOffice Impress", L"libreoffice-impress"},
};

} // namespace

const AppEntry* linuxAppForTitle(const AppEntry* entry, std::string_view title) {
    for (const TitleVariant& variant : titleVariants) {
        if (title.ends_with(variant.titleEnd) &&
            entry == lookupLinuxApp(variant.executable, L"", false)) {
            return lookupLinuxApp(variant.appId, L"", true);
        }
    }
    return entry;
}

const AppEntry* lookupLinuxApp(const std::wstring& name, const std::wstring& path, bool appId) {
    if (appId) {
        const auto found = linuxTable.byAppId.find(lowerAscii(name));
        return found == linuxTable.byAppId.end() ? nullptr : found->second;
    }
    const auto [first, last] = linuxTable.byExecutable.equal_range(name);
    for (auto row = first; row != last; ++row) {
        if (path.find(row->second.pathPart) != std::wstring::npos) {
            return row->second.entry;
        }
    }
    return nullptr;
}

std::vector<std::wstring> linuxAppNames() {
    std::vector<std::wstring> names;
    for (const auto& [executable, row] : linuxTable.byExecutable) {
        names.push_back(executable);
    }
    for (const auto& [appId, entry] : linuxTable.byAppId) {
        names.push_back(appId);
    }
    return names;
}
