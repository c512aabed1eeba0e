#include "app/activity_output.h"

#include "platform/platform.h"
#include "text/utf8.h"

#include <cstring>

namespace {

constexpr char lineEnd[] = "\r\n";
constexpr char hexDigits[] = "0123456789abcdef";

// Bytes go into a JSON string as they are, except those JSON can't carry raw: quote,
// backslash and the control bytes.
void appendJsonString(std::string& line, const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        switch (byte) {
        case '"':
            line += "\\\"";
            break;
        case '\\':
            line += "\\\\";
            break;
        case '\b':
            line += "\\b";
            break;
        case '\f':
            line += "\\f";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        case '\t':
            line += "\\t";
            break;
        default:
            if (byte < 0x20) {
                line += "\\u00";
                line += hexDigits[byte >> 4];
                line += hexDigits[byte & 0x0F];
            } else {
                line += static_cast<char>(byte);
            }
            break;
        }
    }
}

void appendJsonString(std::string& line, const char* text) {
    if (text != nullptr) {
        appendJsonString(line, text, std::strlen(text));
    }
}

void appendJsonString(std::string& line, const std::string& bytes) {
    appendJsonString(line, bytes.data(), bytes.size());
}

void appendHead(std::string& line, const ActivityRecord& record, const CuratedBytes* curated,
                bool documentResolved) {
    const bool hasTitle = record.title != nullptr && record.title[0] != '\0';
    if (curated == nullptr && !hasTitle) {
        line += R"({"Title": "", "Curated_title": "", "Doc": "", "URL": "")";
        return;
    }
    line += R"({"Title": ")";
    appendJsonString(line, record.title);
    if (curated == nullptr) {
        line += R"(", "Curated_title": "", "Doc": "", "URL": "")";
        return;
    }
    line += R"(", "Curated_title": ")";
    appendJsonString(line, curated->curatedTitle);
    line += R"(", "Doc": ")";
    appendJsonString(line, curated->documentName);
    if (documentResolved && record.documentPath != nullptr) {
        line += R"(", "URL": ")";
        appendJsonString(line, record.documentPath);
        line += '"';
    } else {
        line += R"(", "URL": "")";
    }
}

void appendTail(std::string& line, const ActivityRecord& record) {
    line += R"(, "Owner": {"Pid": )";
    line += std::to_string(record.owner->pid);
    line += R"(, "Name": ")";
    appendJsonString(line, record.owner->name);
    line += R"(", "Path": ")";
    appendJsonString(line, record.owner->imagePath);
    line += R"("}, "App_cat_nb": )";
    line += std::to_string(record.category);
    line += '}';
    line += lineEnd;
}

} // namespace

std::string formatActivityRecord(const ActivityRecord* record, const CuratedBytes* curated,
                                 bool documentResolved) {
    std::string line;
    if (record == nullptr) {
        line = "{}";
        line += lineEnd;
        return line;
    }
    appendHead(line, *record, curated, documentResolved);
    appendTail(line, *record);
    return line;
}

void writeActivityRecord(const ActivityRecord* record, const CuratedBytes* curated,
                         bool documentResolved) {
    const std::string line = formatActivityRecord(record, curated, documentResolved);
    platform::writeStandardOutput(line.data(), line.size());
}

std::string encodeUtf8ByCodeUnit(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t character : text) {
        text::appendUtf8(bytes, static_cast<char32_t>(character) & 0xFFFF);
    }
    return bytes;
}
