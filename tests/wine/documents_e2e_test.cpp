// Recent-document resolution through the real executable and Wine's own shell: the
// shortcuts in the prefix's Recent folder are written by Wine's shell-link component
// (shortcut_writer), and the sampler finds, loads and reads them as on Windows.
#include "e2e_harness.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr wchar_t shellLinkClass[] = L"CLSID\\{00021401-0000-0000-C000-000000000046}";

std::string utf8(const std::wstring& text) {
    std::string bytes(text.size() * 3 + 1, '\0');
    const int count = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(),
                                          static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(count > 0 ? static_cast<std::size_t>(count) - 1 : 0);
    return bytes;
}

std::wstring quoted(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

// True when the program ran to its end with status 0. Its output goes to a file, not a
// pipe: on every save Wine's shell starts a menu helper of its own, which inherits the
// writer's standard handles and may outlive it, so a pipe might never end.
bool runsCleanly(const std::wstring& program, const std::wstring& arguments) {
    constexpr DWORD runMs = 30000;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring logPath = std::wstring(temp) + L"activity-sampler-e2e-child.log";
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE log =
        CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, CREATE_ALWAYS, 0, nullptr);
    const HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = log;
    startup.hStdError = log;
    std::wstring commandLine = quoted(program) + L" " + arguments;
    PROCESS_INFORMATION started{};
    const bool running = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, nullptr, &startup, &started);
    const DWORD startError = GetLastError();
    CloseHandle(input);
    CloseHandle(log);
    if (!running) {
        ADD_FAILURE() << "can't start " << utf8(program) << ", error " << startError;
        return false;
    }
    CloseHandle(started.hThread);
    DWORD status = 1;
    if (WaitForSingleObject(started.hProcess, runMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << utf8(program) << " didn't end within " << runMs << " ms";
        TerminateProcess(started.hProcess, 1);
        WaitForSingleObject(started.hProcess, runMs);
    } else {
        GetExitCodeProcess(started.hProcess, &status);
    }
    CloseHandle(started.hProcess);
    if (status != 0) {
        std::ifstream file(std::filesystem::path(logPath), std::ios::binary);
        const std::string output{std::istreambuf_iterator<char>(file),
                                 std::istreambuf_iterator<char>()};
        ADD_FAILURE() << utf8(program) << " " << utf8(arguments) << " ended with status " << status
                      << ": " << output;
    }
    return status == 0;
}

std::wstring shortcutWriterPath() {
    return e2e::unixPathFromEnvironment(L"SAMPLER_SHORTCUT_WRITER");
}

std::wstring recentFolder() {
    wchar_t folder[MAX_PATH] = {};
    const HRESULT status =
        SHGetFolderPathW(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, folder);
    EXPECT_GE(status, 0) << "no Recent folder in the prefix";
    return folder;
}

void clearRecentFolder() {
    const std::filesystem::path folder = recentFolder();
    std::filesystem::create_directories(folder);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::filesystem::remove_all(entry.path());
    }
}

// Writes FOLDER\NAME through Wine's shell-link component, pointing at TARGET.
void writeShortcut(const std::wstring& workDirectory, const std::wstring& shortcutPath,
                   const std::wstring& target) {
    const std::wstring arguments = workDirectory + L"\\shortcut-arguments.utf16";
    {
        std::ofstream file(std::filesystem::path(arguments), std::ios::binary);
        for (const wchar_t unit : shortcutPath + L"\n" + target + L"\n") {
            const char bytes[2] = {static_cast<char>(unit & 0xFF),
                                   static_cast<char>((unit >> 8) & 0xFF)};
            file.write(bytes, 2);
        }
    }
    runsCleanly(shortcutWriterPath(), quoted(arguments));
}

// What a case puts in the Recent folder.
struct RecentEntry {
    enum Kind { Shortcut, Directory, NotAShortcut } kind;
    std::wstring name;
    std::wstring target; // for a shortcut
};

void addToRecentFolder(const std::wstring& workDirectory, const RecentEntry& entry) {
    const std::wstring path = recentFolder() + L"\\" + entry.name;
    switch (entry.kind) {
    case RecentEntry::Shortcut:
        writeShortcut(workDirectory, path, entry.target);
        break;
    case RecentEntry::Directory:
        std::filesystem::create_directories(std::filesystem::path(path));
        break;
    case RecentEntry::NotAShortcut: {
        // The header size of a shortcut, then nothing a shortcut holds.
        const char bytes[] = "L\0\0\0 this is not a shortcut\r\n";
        std::ofstream(std::filesystem::path(path), std::ios::binary).write(bytes, sizeof bytes - 1);
        break;
    }
    }
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << utf8(path);
}

// Each test starts and ends with an empty Recent folder, so that no shortcut reaches a
// test that doesn't expect one.
class RecentFolderTest : public testing::Test {
  protected:
    void SetUp() override { clearRecentFolder(); }
    void TearDown() override { clearRecentFolder(); }
};

struct DocumentCase {
    const char* name;
    std::wstring exeName;
    std::wstring title;
    std::vector<RecentEntry> recent;
    std::string titleBytes;
    std::string curatedBytes;
    std::string docBytes;
    std::string urlBytes;
    std::string displayName;
    long long category;
    // Wine keeps a shortcut's target in the ANSI code page. Under a locale that has none
    // (the test run compiles one, hi_IN.UTF-8, for the cases that need it), that
    // code page is UTF-8 and any character survives the round trip.
    bool needsUtf8CodePage;
};

const std::wstring documents = L"C:\\Users\\ann\\Documents\\";

RecentEntry reportShortcut(const std::wstring& name = L"report.docx.lnk") {
    return {RecentEntry::Shortcut, name, documents + L"report.docx"};
}

DocumentCase word(const char* name, std::vector<RecentEntry> recent, std::string url) {
    return {name,
            L"WINWORD.EXE",
            L"report.docx - Word",
            std::move(recent),
            "report.docx - Word",
            "report.docx",
            "report.docx",
            std::move(url),
            "Microsoft Word",
            8,
            false};
}

// A document name the platform reads as a device, in any folder: the lookup would open
// the device (a serial port blocks), so nothing is looked up, and the shortcut of
// another document is no answer either.
DocumentCase device(const char* name, const std::string& document) {
    const std::wstring wide(document.begin(), document.end());
    return {name,
            L"WINWORD.EXE",
            wide + L" - Word",
            {reportShortcut()},
            document + " - Word",
            document,
            document,
            "",
            "Microsoft Word",
            8,
            false};
}

std::vector<DocumentCase> documentCases() {
    const std::string reportUrl = "C:/Users/ann/Documents/report.docx";
    // 13 units of folder and 246 of name: the 259 units a target can have.
    const std::wstring longTarget = L"C:\\Users\\ann\\" + std::wstring(241, L'd') + L".docx";
    return {
        word("ShortcutOfTheDocument", {reportShortcut()}, reportUrl),
        // The search matches names as the platform does, here without letter case.
        word("ShortcutNameInOtherCase", {reportShortcut(L"REPORT.DOCX.lnk")}, reportUrl),
        // Letter case beyond ASCII too, as the platform's own names compare.
        {"ShortcutNameInOtherCaseBeyondAscii",
         L"WINWORD.EXE",
         L"CAF\u00C9 \u041E\u0422\u0427\u0401\u0422.docx - Word",
         {{RecentEntry::Shortcut, L"caf\u00E9 \u043E\u0442\u0447\u0451\u0442.docx.lnk",
           documents + L"report.docx"}},
         "CAF\xC3\x89 \xD0\x9E\xD0\xA2\xD0\xA7\xD0\x81\xD0\xA2.docx - Word",
         "CAF\xC3\x89 \xD0\x9E\xD0\xA2\xD0\xA7\xD0\x81\xD0\xA2.docx",
         "CAF\xC3\x89 \xD0\x9E\xD0\xA2\xD0\xA7\xD0\x81\xD0\xA2.docx",
         reportUrl,
         "Microsoft Word",
         8,
         false},
        word("NoMatchingShortcut", {reportShortcut(L"report.doc.lnk")}, ""),
        word("DirectoryOfTheName", {{RecentEntry::Directory, L"report.docx.lnk", L""}}, ""),
        word("FileThatIsNoShortcut", {{RecentEntry::NotAShortcut, L"report.docx.lnk", L""}}, ""),
        word("TargetOfTheFullBuffer", {{RecentEntry::Shortcut, L"report.docx.lnk", longTarget}},
             "C:/Users/ann/" + std::string(241, 'd') + ".docx"),
        // Nothing in the target is expanded.
        word("EnvironmentReferenceInTarget",
             {{RecentEntry::Shortcut, L"report.docx.lnk",
               L"C:\\Users\\%USERNAME%\\Documents\\report.docx"}},
             "C:/Users/%USERNAME%/Documents/report.docx"),
        {"AccentedTarget",
         L"WINWORD.EXE",
         L"caf\u00E9.docx - Word",
         {{RecentEntry::Shortcut, L"caf\u00E9.docx.lnk", documents + L"caf\u00E9.docx"}},
         "caf\xC3\xA9.docx - Word",
         "caf\xC3\xA9.docx",
         "caf\xC3\xA9.docx",
         "C:/Users/ann/Documents/caf\xC3\xA9.docx",
         "Microsoft Word",
         8,
         false},
        // One four-byte sequence in the URL, two three-byte ones in Curated_title and Doc.
        {"TargetOutsideTheBmp",
         L"WINWORD.EXE",
         L"plan \xD83D\xDE00.docx - Word",
         {{RecentEntry::Shortcut, L"plan \xD83D\xDE00.docx.lnk",
           documents + L"plan \xD83D\xDE00.docx"}},
         "plan \xF0\x9F\x98\x80.docx - Word",
         "plan \xED\xA0\xBD\xED\xB8\x80.docx",
         "plan \xED\xA0\xBD\xED\xB8\x80.docx",
         "C:/Users/ann/Documents/plan \xF0\x9F\x98\x80.docx",
         "Microsoft Word",
         8,
         true},
        // A name a file can't have is never looked up, though as a wildcard it would
        // match report.docx.lnk.
        {"AsteriskInDocumentName",
         L"WINWORD.EXE",
         L"rep*rt.docx - Word",
         {reportShortcut()},
         "rep*rt.docx - Word",
         "rep*rt.docx",
         "rep*rt.docx",
         "",
         "Microsoft Word",
         8,
         false},
        {"QuestionMarkInDocumentName",
         L"WINWORD.EXE",
         L"rep?rt.docx - Word",
         {reportShortcut()},
         "rep?rt.docx - Word",
         "rep?rt.docx",
         "rep?rt.docx",
         "",
         "Microsoft Word",
         8,
         false},
        device("DeviceCom1", "COM1"),
        device("DeviceCom1WithExtension", "com1.docx"),
        device("DeviceCom1SpaceBeforeExtension", "com1 .docx"),
        device("DeviceAux", "AUX"),
        device("DeviceCon", "CON"),
        device("DeviceNul", "nul"),
        device("DevicePrnWithExtension", "PRN.txt"),
        device("DeviceLpt9", "LPT9.pdf"),
        device("DeviceConsoleInput", "CONIN$"),
        device("DeviceConsoleOutput", "conout$.log"),
        // A private window has no document, and ".lnk" would match the empty one.
        {"PrivateBrowserWindow",
         L"msedge.exe",
         L"New tab - [InPrivate] - Microsoft Edge",
         {{RecentEntry::Shortcut, L".lnk", documents + L"secret.docx"}},
         "New tab - [InPrivate] - Microsoft Edge",
         "[Private]",
         "",
         "",
         "Microsoft Edge",
         1,
         false},
    };
}

// Failures name the case, not its bytes.
void PrintTo(const DocumentCase& tested, std::ostream* out) {
    *out << tested.name;
}

class DocumentTest : public RecentFolderTest, public testing::WithParamInterface<DocumentCase> {};

TEST_P(DocumentTest, LineCarriesTheShortcutTarget) {
    const DocumentCase& c = GetParam();
    const std::wstring work = e2e::freshDirectory(L"documents");
    if (c.needsUtf8CodePage && GetACP() != CP_UTF8) {
        // Where the locale was asked for, not getting it is a failure, not a skip.
        ASSERT_EQ(GetEnvironmentVariableW(L"LOCPATH", nullptr, 0), 0u)
            << "the locale gave the ANSI code page " << GetACP() << ", not UTF-8";
        GTEST_SKIP() << "needs the ANSI code page UTF-8: the wine-documents-e2e-utf8 test runs it";
    }
    for (const RecentEntry& entry : c.recent) {
        addToRecentFolder(work, entry);
    }
    const std::wstring executable = e2e::copyWindowHelper(work, c.exeName);
    e2e::HelperWindow helper;
    ASSERT_TRUE(e2e::showWindow(executable, c.title, work, helper));

    const e2e::RunResult run = e2e::runSampler();

    e2e::Line expected;
    expected.title = c.titleBytes;
    expected.curatedTitle = c.curatedBytes;
    expected.doc = c.docBytes;
    expected.url = c.urlBytes;
    expected.pid = helper.pid;
    expected.name = c.displayName;
    expected.path = e2e::expectedImagePath(executable);
    expected.category = c.category;
    e2e::expectSampleLine(run, expected);
}

INSTANTIATE_TEST_SUITE_P(Recent, DocumentTest, testing::ValuesIn(documentCases()),
                         [](const testing::TestParamInfo<DocumentCase>& tested) {
                             return std::string(tested.param.name);
                         });

// The prefix's shell-link class is exported here before it is removed, and imported
// from here after; a copy left behind by an interrupted run is put back at start.
std::wstring classBackupPath() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"activity-sampler-shell-link-class.reg";
}

std::wstring regPath() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\reg.exe";
}

bool shellLinkClassRegistered() {
    HKEY key = nullptr;
    const std::wstring server = std::wstring(shellLinkClass) + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, server.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

const std::wstring classKeyArgument = quoted(std::wstring(L"HKCR\\") + shellLinkClass);

// Puts the class back from the export, if there is one. True when it is registered.
bool restoreShellLinkClass() {
    const std::wstring backup = classBackupPath();
    if (GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES &&
        runsCleanly(regPath(), L"import " + quoted(backup)) && shellLinkClassRegistered()) {
        DeleteFileW(backup.c_str());
    }
    return shellLinkClassRegistered();
}

// The shell-link class is missing from the prefix's registry for as long as this lives.
// Whatever happens in between, the destructor imports it back.
class ShellLinkClassRemoved {
  public:
    ShellLinkClassRemoved() {
        const std::wstring exportArguments =
            L"export " + classKeyArgument + L" " + quoted(classBackupPath()) + L" /y";
        if (!runsCleanly(regPath(), exportArguments)) {
            return;
        }
        removed_ = runsCleanly(regPath(), L"delete " + classKeyArgument + L" /f") &&
                   !shellLinkClassRegistered();
        EXPECT_TRUE(removed_) << "can't remove the shell-link class";
    }
    ShellLinkClassRemoved(const ShellLinkClassRemoved&) = delete;
    ShellLinkClassRemoved& operator=(const ShellLinkClassRemoved&) = delete;
    ~ShellLinkClassRemoved() {
        EXPECT_TRUE(restoreShellLinkClass())
            << "the shell-link class couldn't be restored from " << utf8(classBackupPath());
    }

    bool removed() const { return removed_; }

  private:
    bool removed_ = false;
};

// Repairs a prefix that an interrupted run left without the class, before any test.
class ShellLinkClassRepair : public testing::Environment {
  public:
    void SetUp() override {
        if (!shellLinkClassRegistered()) {
            EXPECT_TRUE(restoreShellLinkClass()) << "the prefix has no shell-link class";
        }
    }
};
testing::Environment* const repair = testing::AddGlobalTestEnvironment(new ShellLinkClassRepair);

using UnavailableShellLinkTest = RecentFolderTest;

TEST_F(UnavailableShellLinkTest, MessageOnlyAndStatusZero) {
    const std::wstring work = e2e::freshDirectory(L"documents-no-shell-link");
    addToRecentFolder(work, reportShortcut());
    const std::wstring executable = e2e::copyWindowHelper(work, L"WINWORD.EXE");
    e2e::HelperWindow helper;
    ASSERT_TRUE(e2e::showWindow(executable, L"report.docx - Word", work, helper));
    {
        const ShellLinkClassRemoved removed;
        ASSERT_TRUE(removed.removed());

        const e2e::RunResult run = e2e::runSampler();

        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "Unable to access recent documents.\r\n");
        EXPECT_EQ(run.exitCode, 0u);
    }
    // With the class back, the same window resolves again.
    const e2e::RunResult again = e2e::runSampler();
    EXPECT_NE(again.out.find(R"("URL": "C:/Users/ann/Documents/report.docx")"), std::string::npos)
        << again.out;
    EXPECT_EQ(again.err, "");
}

} // namespace
