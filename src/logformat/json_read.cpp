#include "logformat/json_read.h"

#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>

#include <cstring>

namespace logformat {

bool readJsonDocument(std::string_view text, rapidjson::Document& document) {
    document.SetNull();
    // A raw NUL is never JSON, and the reader would take it for the end.
    if (std::memchr(text.data(), '\0', text.size()) != nullptr) {
        return false;
    }
    rapidjson::MemoryStream bytes(text.data(), text.size());
    rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> input(bytes);
    bool read = false;
    const auto generate = [&](rapidjson::Document& into) {
        read = readJson<rapidjson::kParseValidateEncodingFlag>(input, into);
        return read;
    };
    document.Populate(generate);
    return read;
}

} // namespace logformat
