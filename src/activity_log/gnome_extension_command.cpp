#include "activity_log/gnome_extension_command.h"

#include "activity_log/gnome_extension_files.h"
#include "platform/child_process.h"
#include "platform/collector_files.h"
#include "platform/console.h"
#include "platform/gnome_shell_extension.h"
#include "platform/system.h"
#include "text/utf8_path.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace activity_log {
namespace {

namespace fs = std::filesystem;

constexpr const char* schema = "org.gnome.shell";
// The oldest GNOME Shell whose extensions take the form the build makes, and the first
// that takes only ES modules.
constexpr int oldestShell = 40;
constexpr int firstModuleShell = 45;
// A settings list longer than this is not one gsettings printed for these keys.
constexpr std::size_t listTextLimit = 64 * 1024;
constexpr std::size_t listItemLimit = 4096;
constexpr auto toolTimeout = std::chrono::seconds(10);

void say(const std::string& text) {
    platform::writeStandardOutput("activity-log: " + text + "\n");
}

int fail(const std::string& text) {
    platform::writeStandardError("activity-log: " + text + "\n");
    return 1;
}

// What a tool said when it failed, on one line.
std::string toolError(const platform::ChildRun& run) {
    std::string text = run.err;
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text.empty() ? "exit status " + std::to_string(run.exitCode) : text;
}

platform::ChildRun gsettings(const std::vector<std::string>& arguments) {
    return platform::runProgram("gsettings", arguments, toolTimeout);
}

std::optional<std::vector<std::string>> readList(const std::string& key, std::string& error) {
    const platform::ChildRun run = gsettings({"get", schema, key});
    if (!run.started) {
        error = "gsettings was not found (Debian's libglib2.0-bin has it)";
        return std::nullopt;
    }
    if (run.exitCode != 0) {
        error = "`gsettings get " + std::string(schema) + " " + key + "` failed: " + toolError(run);
        return std::nullopt;
    }
    std::optional<std::vector<std::string>> list = parseStringList(run.out);
    if (!list) {
        error = "`gsettings get " + std::string(schema) + " " + key +
                "` printed no list of names it could read";
    }
    return list;
}

bool writeList(const std::string& key, const std::vector<std::string>& list, std::string& error) {
    const platform::ChildRun run = gsettings({"set", schema, key, formatStringList(list)});
    if (run.started && run.exitCode == 0) {
        return true;
    }
    error = "`gsettings set " + std::string(schema) + " " + key + "` failed: " + toolError(run);
    return false;
}

// Adds the extension to KEY's list (or takes it out), leaving the user's other entries
// as they are; a list that already says so is not written.
bool changeList(const std::string& key, bool listed, std::string& error) {
    std::optional<std::vector<std::string>> list = readList(key, error);
    if (!list) {
        return false;
    }
    const auto found = std::find(list->begin(), list->end(), platform::gnome::extensionUuid);
    if ((found != list->end()) == listed) {
        return true;
    }
    if (listed) {
        list->push_back(platform::gnome::extensionUuid);
    } else {
        list->erase(std::remove(list->begin(), list->end(), platform::gnome::extensionUuid),
                    list->end());
    }
    if (!writeList(key, *list, error)) {
        return false;
    }
    // gsettings may exit 0 when its write went nowhere (no session bus for dconf).
    const std::optional<std::vector<std::string>> kept = readList(key, error);
    if (kept && kept == list) {
        return true;
    }
    if (kept) {
        error = "GNOME's settings did not keep the change of " + std::string(schema) + " " + key +
                " (is DBUS_SESSION_BUS_ADDRESS your GNOME session's bus?)";
    }
    return false;
}

fs::path extensionFolder() {
    const fs::path data = platform::userDataDirectory();
    return data.empty() ? fs::path()
                        : data / "gnome-shell" / "extensions" / platform::gnome::extensionUuid;
}

std::optional<int> installedShellVersion(std::string& error) {
    const platform::ChildRun run = platform::runProgram("gnome-shell", {"--version"}, toolTimeout);
    if (!run.started) {
        error = "GNOME Shell was not found (`gnome-shell --version`); the extension is for GNOME "
                "Shell " +
                std::to_string(oldestShell) + " and later";
        return std::nullopt;
    }
    const std::optional<int> major = gnomeShellMajorVersion(run.out);
    if (!major) {
        error = "`gnome-shell --version` said no version: " + toolError(run);
    } else if (*major < oldestShell) {
        error = "GNOME Shell " + std::to_string(*major) + " is older than the extension's " +
                std::to_string(oldestShell);
        return std::nullopt;
    }
    return major;
}

bool writeFiles(const fs::path& folder, const char* form, std::string& error) {
    std::error_code failed;
    fs::create_directories(folder, failed);
    if (failed) {
        error = "could not make " + text::utf8FromPath(folder) + ": " + failed.message();
        return false;
    }
    for (const GnomeExtensionFile& file : gnomeExtensionFiles) {
        if (std::string_view(file.form) == form &&
            !platform::replaceDurably(folder / file.name, file.content)) {
            error = "could not write " + text::utf8FromPath(folder / file.name);
            return false;
        }
    }
    return true;
}

int install() {
    std::string error;
    const std::optional<int> shell = installedShellVersion(error);
    if (!shell) {
        return fail(error);
    }
    const fs::path folder = extensionFolder();
    if (folder.empty()) {
        return fail("no data folder is known (neither XDG_DATA_HOME nor HOME is set)");
    }
    const bool modules = *shell >= firstModuleShell;
    if (!writeFiles(folder, modules ? "module" : "legacy", error)) {
        return fail(error);
    }
    say("installed the GNOME Shell extension " + std::string(platform::gnome::extensionUuid) +
        " for GNOME Shell " + (modules ? "45 and later" : "40 to 44") + " in " +
        text::utf8FromPath(folder));
    // disabled-extensions overrides enabled-extensions: out of one, into the other.
    if (!changeList("disabled-extensions", false, error) ||
        !changeList("enabled-extensions", true, error)) {
        return fail(error +
                    "; the extension is installed but not enabled: after the next "
                    "login, `gnome-extensions enable " +
                    platform::gnome::extensionUuid + "` enables it");
    }
    say("enabled it in GNOME's settings (org.gnome.shell enabled-extensions, through gsettings)");
    const platform::ChildRun userExtensions = gsettings({"get", schema, "disable-user-extensions"});
    if (userExtensions.started && userExtensions.exitCode == 0 &&
        userExtensions.out.starts_with("true")) {
        say("GNOME is set to run no user extension (org.gnome.shell disable-user-extensions); "
            "turn user extensions on in the Extensions application for this one to run");
    }
    say("GNOME on Wayland loads a new extension at the next login: log out and back in; until "
        "then activity-sampler names no window there");
    return 0;
}

int remove() {
    std::string error;
    if (!changeList("enabled-extensions", false, error)) {
        return fail(error + "; nothing was removed");
    }
    const fs::path folder = extensionFolder();
    std::error_code failed;
    if (folder.empty() || !fs::exists(folder, failed)) {
        say("the GNOME Shell extension " + std::string(platform::gnome::extensionUuid) +
            " is not installed in your extensions folder, and not enabled");
        return 0;
    }
    fs::remove_all(folder, failed);
    if (failed) {
        return fail("disabled the extension, but could not remove " + text::utf8FromPath(folder) +
                    ": " + failed.message());
    }
    say("disabled and removed the GNOME Shell extension " +
        std::string(platform::gnome::extensionUuid) +
        "; activity-sampler names no window on GNOME on Wayland without it");
    return 0;
}

// One string of GVariant's text form, quoted by ' or "; POS is past it afterwards.
std::optional<std::string> parseQuoted(std::string_view text, std::size_t& pos) {
    const char quote = text[pos++];
    std::string item;
    while (pos < text.size() && text[pos] != quote) {
        char c = text[pos++];
        if (c == '\\') {
            if (pos == text.size()) {
                return std::nullopt;
            }
            static constexpr std::string_view from = "\\'\"abfnrtv";
            static constexpr std::string_view to = "\\'\"\a\b\f\n\r\t\v";
            const std::size_t escape = from.find(text[pos++]);
            if (escape == std::string_view::npos) {
                return std::nullopt; // \u and the like: no extension name has them
            }
            c = to[escape];
        }
        item.push_back(c);
    }
    if (pos == text.size()) {
        return std::nullopt;
    }
    ++pos;
    return item;
}

void skipSpaces(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\n' || text[pos] == '\t')) {
        ++pos;
    }
}

} // namespace

std::optional<std::vector<std::string>> parseStringList(std::string_view text) {
    if (text.size() > listTextLimit) {
        return std::nullopt;
    }
    std::size_t pos = 0;
    skipSpaces(text, pos);
    if (text.substr(pos).starts_with("@as")) {
        pos += 3;
        skipSpaces(text, pos);
    }
    if (pos == text.size() || text[pos++] != '[') {
        return std::nullopt;
    }
    std::vector<std::string> items;
    skipSpaces(text, pos);
    while (pos < text.size() && text[pos] != ']') {
        if (!items.empty()) {
            if (text[pos++] != ',') {
                return std::nullopt;
            }
            skipSpaces(text, pos);
        }
        if (pos == text.size() || (text[pos] != '\'' && text[pos] != '"') ||
            items.size() == listItemLimit) {
            return std::nullopt;
        }
        std::optional<std::string> item = parseQuoted(text, pos);
        if (!item) {
            return std::nullopt;
        }
        items.push_back(std::move(*item));
        skipSpaces(text, pos);
    }
    if (pos == text.size()) {
        return std::nullopt;
    }
    ++pos;
    skipSpaces(text, pos);
    return pos == text.size() ? std::optional(items) : std::nullopt;
}

std::string formatStringList(const std::vector<std::string>& items) {
    if (items.empty()) {
        return "@as []";
    }
    std::string text = "[";
    for (const std::string& item : items) {
        text.append(text.size() > 1 ? ", '" : "'");
        for (const char c : item) {
            static constexpr std::string_view escapable = "\\'\a\b\f\n\r\t\v";
            static constexpr std::string_view escaped = "\\'abfnrtv";
            const std::size_t at = escapable.find(c);
            if (at == std::string_view::npos) {
                text.push_back(c);
            } else {
                text.push_back('\\');
                text.push_back(escaped[at]);
            }
        }
        text.push_back('\'');
    }
    text.push_back(']');
    return text;
}

std::optional<int> gnomeShellMajorVersion(std::string_view answer) {
    constexpr std::string_view prefix = "GNOME Shell ";
    const std::size_t at = answer.find(prefix);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t pos = at + prefix.size();
    int major = 0;
    std::size_t digits = 0;
    for (; pos < answer.size() && answer[pos] >= '0' && answer[pos] <= '9' && digits < 4;
         ++pos, ++digits) {
        major = major * 10 + (answer[pos] - '0');
    }
    return digits > 0 && digits < 4 ? std::optional(major) : std::nullopt;
}

int runGnomeExtensionCommand(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1 && arguments[0] == "install") {
        return install();
    }
    if (arguments.size() == 1 && arguments[0] == "remove") {
        return remove();
    }
    platform::writeStandardError(
        "usage: activity-log gnome-extension install|remove\n"
        "  install  puts activity-sampler's GNOME Shell extension in your extensions folder and\n"
        "           enables it (GNOME on Wayland loads it at the next login)\n"
        "  remove   disables it and removes it\n");
    return 2;
}

} // namespace activity_log
