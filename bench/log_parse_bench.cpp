// Which JSON library reads the log's lines fastest. Each candidate turns a line into a
// LogEvent with the same checks (strict JSON and UTF-8, required keys, value types):
// RapidJSON's DOM, its in-situ DOM, its reader (SAX) in situ as parseLogEvent does,
// and nlohmann-json. Lines are typical ones and ones with long, escaped, non-ASCII titles.
#include "logformat/log_event.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>

#include <string>
#include <vector>

using logformat::LogEvent;

namespace {

std::vector<std::string> sampleLines(bool hostile) {
    std::vector<std::string> lines;
    const char* apps[] = {"Microsoft Word", "Microsoft Edge", "Visual Studio Code",
                          "Windows Terminal", "Microsoft Teams"};
    for (int i = 0; i < 64; ++i) {
        LogEvent event;
        event.start = {1'796'633'902'123 + i * 30'000, 60};
        event.end = {event.start.unixMs + 25'007, 60};
        event.app = apps[i % 5];
        event.exePath = "/Device/HarddiskVolume3/Program Files/App/app.exe";
        event.pid = 4000 + static_cast<std::uint64_t>(i);
        event.category = i % 18;
        if (hostile) {
            std::string title;
            while (title.size() < 1500) {
                title += "\xE5\xA0\xB1\xE5\x91\x8A \"quoted\" \\ tab\t </title><script> ";
            }
            event.title = title;
        } else {
            event.title = "quarterly report " + std::to_string(i) + ".docx - Word";
        }
        event.curatedTitle = event.title.substr(0, event.title.size() / 2);
        event.doc = event.curatedTitle;
        event.url = "C:/Users/ann/Documents/" + event.doc;
        std::string line = logformat::formatLogEvent(event);
        line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

// RapidJSON, a document tree per line (in situ: parsed in a copy of the line's bytes).
template <bool inSitu> std::optional<LogEvent> domParse(std::string_view line) {
    rapidjson::Document document;
    std::string copy;
    if constexpr (inSitu) {
        if (line.find('\0') != std::string_view::npos) {
            return std::nullopt; // a raw NUL would end the text early
        }
        copy.assign(line);
        document.ParseInsitu<rapidjson::kParseValidateEncodingFlag>(copy.data());
    } else {
        document.Parse<rapidjson::kParseValidateEncodingFlag>(line.data(), line.size());
    }
    if (document.HasParseError() || !document.IsObject()) {
        return std::nullopt;
    }
    LogEvent event;
    const auto text = [&](const char* key, std::string& out) {
        const auto member = document.FindMember(key);
        if (member == document.MemberEnd()) {
            return true;
        }
        if (!member->value.IsString()) {
            return false;
        }
        out.assign(member->value.GetString(), member->value.GetStringLength());
        return true;
    };
    std::string start, end, state;
    const auto seconds = document.FindMember("seconds");
    if (!text("start", start) || !text("end", end) || !text("state", state) ||
        seconds == document.MemberEnd() || !seconds->value.IsNumber() ||
        !text("title", event.title) || !text("curated_title", event.curatedTitle) ||
        !text("doc", event.doc) || !text("url", event.url) || !text("app", event.app) ||
        !text("exe_path", event.exePath)) {
        return std::nullopt;
    }
    const auto s = logformat::parseTimestamp(start), e = logformat::parseTimestamp(end);
    const auto known = logformat::stateFromName(state);
    if (!s || !e || !known) {
        return std::nullopt;
    }
    event.start = *s;
    event.end = *e;
    event.state = *known;
    if (const auto pid = document.FindMember("pid"); pid != document.MemberEnd()) {
        if (!pid->value.IsUint64()) {
            return std::nullopt;
        }
        event.pid = pid->value.GetUint64();
    }
    if (const auto c = document.FindMember("category"); c != document.MemberEnd()) {
        if (!c->value.IsInt64()) {
            return std::nullopt;
        }
        event.category = c->value.GetInt64();
    }
    return event;
}

std::optional<LogEvent> nlohmannParse(std::string_view line) {
    // Its parser refuses invalid UTF-8 in strings by default.
    const auto document = nlohmann::json::parse(line, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return std::nullopt;
    }
    LogEvent event;
    const auto text = [&](const char* key, std::string& out) {
        const auto member = document.find(key);
        if (member == document.end()) {
            return true;
        }
        if (!member->is_string()) {
            return false;
        }
        out = member->get_ref<const std::string&>();
        return true;
    };
    std::string start, end, state;
    const auto seconds = document.find("seconds");
    if (!text("start", start) || !text("end", end) || !text("state", state) ||
        seconds == document.end() || !seconds->is_number() || !text("title", event.title) ||
        !text("curated_title", event.curatedTitle) || !text("doc", event.doc) ||
        !text("url", event.url) || !text("app", event.app) || !text("exe_path", event.exePath)) {
        return std::nullopt;
    }
    const auto s = logformat::parseTimestamp(start), e = logformat::parseTimestamp(end);
    const auto known = logformat::stateFromName(state);
    if (!s || !e || !known) {
        return std::nullopt;
    }
    event.start = *s;
    event.end = *e;
    event.state = *known;
    if (const auto pid = document.find("pid"); pid != document.end()) {
        if (!pid->is_number_unsigned()) {
            return std::nullopt;
        }
        event.pid = pid->get<std::uint64_t>();
    }
    if (const auto c = document.find("category"); c != document.end()) {
        if (!c->is_number_integer()) {
            return std::nullopt;
        }
        event.category = c->get<std::int64_t>();
    }
    return event;
}

template <std::optional<LogEvent> (*parse)(std::string_view)>
void parseLines(benchmark::State& state) {
    const auto lines = sampleLines(state.range(0) != 0);
    std::size_t bytes = 0, i = 0;
    for (auto _ : state) {
        const std::string& line = lines[i++ % lines.size()];
        auto event = parse(line);
        if (!event) {
            state.SkipWithError("a line didn't parse");
            break;
        }
        benchmark::DoNotOptimize(event);
        bytes += line.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

} // namespace

// 0: typical lines (about 330 bytes); 1: long escaped titles (about 5,000 bytes).
BENCHMARK(parseLines<domParse<false>>)->Name("rapidjson_dom")->Arg(0)->Arg(1);
BENCHMARK(parseLines<domParse<true>>)->Name("rapidjson_insitu")->Arg(0)->Arg(1);
BENCHMARK(parseLines<logformat::parseLogEvent>)->Name("rapidjson_reader_insitu")->Arg(0)->Arg(1);
BENCHMARK(parseLines<nlohmannParse>)->Name("nlohmann_json")->Arg(0)->Arg(1);
BENCHMARK_MAIN();
