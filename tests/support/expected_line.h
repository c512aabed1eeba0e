// The sampler's line as the desktop tests expect it, field by field, in its key order
// and with its line end.
#pragma once

#include <string>

namespace test_support {

inline std::string expectedLine(const std::string& title, const std::string& curated,
                                const std::string& document, const std::string& pid,
                                const std::string& name, const std::string& path, int category) {
    return "{\"Title\": \"" + title + "\", \"Curated_title\": \"" + curated + "\", \"Doc\": \"" +
           document + "\", \"URL\": \"\", \"Owner\": {\"Pid\": " + pid + ", \"Name\": \"" + name +
           "\", \"Path\": \"" + path + "\"}, \"App_cat_nb\": " + std::to_string(category) + "}\r\n";
}

} // namespace test_support
