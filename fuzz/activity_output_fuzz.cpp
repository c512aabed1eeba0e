// The output line, for any record contents: it must be one line of JSON with the keys
// in order, and every string must read back as the bytes that went in.
//
// Input layout:
//   byte 0      shape: bits 0-1 the head (0 no record, 1 not curated, 2-3 curated);
//               bit 2 document resolved; bit 3 no document path; bits 4-6 title, name,
//               image path absent (null)
//   bytes 1-8   pid, little-endian
//   bytes 9-16  category, little-endian, two's complement
//   then six fields, each a 2-byte little-endian length (cut to what is left) and its
//   bytes: title, name, image path, document path, curated title, document name.
#include "app/activity_output.h"
#include "json_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

struct Input {
    const std::uint8_t* data;
    std::size_t size;

    std::uint8_t byte() {
        if (size == 0) {
            return 0;
        }
        --size;
        return *data++;
    }
    std::uint64_t u64() {
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            value |= static_cast<std::uint64_t>(byte()) << (8 * i);
        }
        return value;
    }
    std::string field() {
        std::size_t length = byte();
        length |= static_cast<std::size_t>(byte()) << 8;
        length = length < size ? length : size;
        std::string bytes(reinterpret_cast<const char*>(data), length);
        data += length;
        size -= length;
        return bytes;
    }
};

// A terminated copy in a buffer of its own exact size, so that a read past the
// terminator is caught.
std::unique_ptr<char[]> terminated(const std::string& bytes) {
    auto copy = std::make_unique<char[]>(bytes.size() + 1);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    copy[bytes.size()] = '\0';
    return copy;
}

// What a char* field holds as a C string.
std::string asCString(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

[[noreturn]] void fail(const char* what, const std::string& line) {
    std::fprintf(stderr, "output check failed: %s\nline: ", what);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::abort();
}

void expectString(const JsonValue& value, const std::string& bytes, const char* key,
                  const std::string& line) {
    if (value.kind != JsonValue::Kind::String || value.text != latin1(bytes)) {
        fail(key, line);
    }
}

void expectNumber(const JsonValue& value, const std::string& digits, const char* key,
                  const std::string& line) {
    if (value.kind != JsonValue::Kind::Number || value.text != latin1(digits)) {
        fail(key, line);
    }
}

void expectKeys(const JsonValue& object, std::initializer_list<std::u32string_view> keys,
                const std::string& line) {
    if (object.kind != JsonValue::Kind::Object || object.keys.size() != keys.size()) {
        fail("keys", line);
    }
    std::size_t i = 0;
    for (const auto key : keys) {
        if (object.keys[i++] != key) {
            fail("key order", line);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    const std::uint8_t shape = in.byte();
    const std::uint64_t pid = in.u64();
    const auto category = static_cast<std::int64_t>(in.u64());
    const std::string title = in.field();
    const std::string name = in.field();
    const std::string imagePath = in.field();
    const std::string documentPath = in.field();
    const CuratedBytes curatedBytes{in.field(), in.field()};

    const int head = shape & 3;
    const bool documentResolved = (shape & 4) != 0;
    const auto titleBuffer = terminated(title);
    const auto nameBuffer = terminated(name);
    const auto imagePathBuffer = terminated(imagePath);
    const auto documentPathBuffer = terminated(documentPath);

    OwnerRecord owner{};
    owner.name = (shape & 0x20) != 0 ? nullptr : nameBuffer.get();
    owner.nameLength = std::strlen(nameBuffer.get()) + 1;
    owner.imagePath = (shape & 0x40) != 0 ? nullptr : imagePathBuffer.get();
    owner.imagePathLength = std::strlen(imagePathBuffer.get()) + 1;
    owner.pid = pid;
    ActivityRecord record{};
    record.title = (shape & 0x10) != 0 ? nullptr : titleBuffer.get();
    record.titleLength = static_cast<std::int64_t>(std::strlen(titleBuffer.get()) + 1);
    record.documentPath = (shape & 8) != 0 ? nullptr : documentPathBuffer.get();
    record.documentPathLength = static_cast<std::int64_t>(std::strlen(documentPath.c_str()) + 1);
    record.owner = &owner;
    record.category = category;

    const ActivityRecord* recordGiven = head == 0 ? nullptr : &record;
    const CuratedBytes* curatedGiven = head >= 2 ? &curatedBytes : nullptr;
    const std::string line = formatActivityRecord(recordGiven, curatedGiven, documentResolved);

    // One line: CR LF at the end and nowhere else.
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0 ||
        line.find_first_of("\r\n") != line.size() - 2) {
        fail("line end", line);
    }
    const std::string_view json(line.data(), line.size() - 2);
    if (recordGiven == nullptr) {
        if (json != "{}") {
            fail("no record", line);
        }
        return 0;
    }
    const auto parsed = parseJson(json);
    if (!parsed) {
        fail("not JSON", line);
    }
    expectKeys(*parsed, {U"Title", U"Curated_title", U"Doc", U"URL", U"Owner", U"App_cat_nb"},
               line);
    const auto& top = parsed->items;
    expectString(top[0], asCString(record.title), "Title", line);
    expectString(top[1], curatedGiven ? curatedBytes.curatedTitle : "", "Curated_title", line);
    expectString(top[2], curatedGiven ? curatedBytes.documentName : "", "Doc", line);
    const bool urlWritten = curatedGiven && documentResolved && record.documentPath != nullptr;
    expectString(top[3], urlWritten ? asCString(record.documentPath) : "", "URL", line);
    expectKeys(top[4], {U"Pid", U"Name", U"Path"}, line);
    const auto& ownerValues = top[4].items;
    expectNumber(ownerValues[0], std::to_string(pid), "Pid", line);
    expectString(ownerValues[1], asCString(owner.name), "Name", line);
    expectString(ownerValues[2], asCString(owner.imagePath), "Path", line);
    expectNumber(top[5], std::to_string(category), "App_cat_nb", line);
    return 0;
}
