#include "unguided_curation.h"

#include <regex>

namespace unguided {

std::wstring removeEveryMatch(const std::wstring& title, std::int32_t rule) {
    const wchar_t* pattern = rule == 0   ? L"[^\\n\\r]* -[\\s]*"
                             : rule == 1 ? L"[\\s]*-[^-]*(?=\\n|$)"
                                         : L" and [^\\n\\r]* more [^\\n\\r]*";
    return std::regex_replace(title, std::wregex(pattern, std::regex::ECMAScript), L"");
}

} // namespace unguided
