// A test-only Windows program: writes a shortcut file through the platform's own
// shell-link component, as the shell does when it records a recent document.
//
//   shortcut_writer ARGUMENTS-FILE
//
// The arguments file is UTF-16LE (a leading byte-order mark is skipped) and holds two
// lines, each ended by a line feed: the path of the shortcut file to write, then the
// target path to store in it. A file rather than the command line, so that any UTF-16
// text reaches SetPath unchanged, whatever the code pages of the host. Exit status 0
// when the shortcut has been saved; otherwise a message on standard error and 1.
#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// Owns one COM reference.
template <class T> class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    T* operator->() const { return pointer_; }
    void** out() { return reinterpret_cast<void**>(&pointer_); }

  private:
    T* pointer_ = nullptr;
};

// Balances a successful CoInitialize.
class ComApartment {
  public:
    ComApartment() : status_(CoInitialize(nullptr)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(status_)) {
            CoUninitialize();
        }
    }

  private:
    HRESULT status_;
};

int fail(const char* what, HRESULT status) {
    std::fprintf(stderr, "shortcut_writer: %s failed (0x%08lx)\n", what,
                 static_cast<unsigned long>(status));
    return 1;
}

// The two lines of the arguments file, or an empty vector when it can't be read.
std::vector<std::wstring> readArguments(const wchar_t* file) {
    std::ifstream in(std::filesystem::path(file), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    if (!text.empty() && text.front() == L'\xFEFF') {
        text.erase(0, 1);
    }
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find(L'\n'); end != std::wstring::npos;
         end = text.find(L'\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shortcut_writer ARGUMENTS-FILE\n");
        return 2;
    }
    const std::vector<std::wstring> lines = readArguments(argv[1]);
    if (lines.size() != 2) {
        std::fprintf(stderr, "shortcut_writer: %ls must hold two lines in UTF-16LE\n", argv[1]);
        return 2;
    }
    const std::wstring& shortcutPath = lines[0];
    const std::wstring& target = lines[1];

    const ComApartment apartment;
    ComRef<IShellLinkW> shellLink;
    HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, shellLink.out());
    if (FAILED(status)) {
        return fail("CoCreateInstance(CLSID_ShellLink)", status);
    }
    status = shellLink->SetPath(target.c_str());
    if (FAILED(status)) {
        return fail("IShellLinkW::SetPath", status);
    }
    ComRef<IPersistFile> persistFile;
    status = shellLink->QueryInterface(IID_IPersistFile, persistFile.out());
    if (FAILED(status)) {
        return fail("QueryInterface(IID_IPersistFile)", status);
    }
    status = persistFile->Save(shortcutPath.c_str(), TRUE);
    if (FAILED(status)) {
        return fail("IPersistFile::Save", status);
    }
    return 0;
}
