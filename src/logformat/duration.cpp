#include "logformat/duration.h"

#include <charconv>
#include <cmath>

namespace logformat {

namespace {

// Longer than any duration worth typing: "0.000…" runs go no further.
constexpr std::size_t maxDurationChars = 32;

std::string formsAccepted(std::int64_t plainUnitMs) {
    return std::string("a number of ") + (plainUnitMs == 60'000 ? "minutes" : "seconds") +
           ", or one with s, m or h: 90s, 10m, 1.5h";
}

std::optional<std::int64_t> unitOf(char c) {
    switch (c) {
    case 's':
        return 1000;
    case 'm':
        return 60'000;
    case 'h':
        return 3'600'000;
    default:
        return std::nullopt;
    }
}

bool plainNumber(std::string_view text) {
    std::size_t points = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.') {
            if (++points > 1 || i == 0 || i + 1 == text.size()) {
                return false;
            }
        } else if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return !text.empty();
}

} // namespace

DurationParse parseDuration(std::string_view text, const DurationBounds& bounds) {
    DurationParse result;
    std::string quoted = "\"";
    quoted.append(text.substr(0, maxDurationChars));
    quoted.append(text.size() > maxDurationChars ? "…\"" : "\"");
    std::string_view number = text;
    std::int64_t unitMs = bounds.plainUnitMs;
    if (!number.empty()) {
        if (const auto unit = unitOf(number.back())) {
            unitMs = *unit;
            number.remove_suffix(1);
        }
    }
    const bool negative = !number.empty() && number.front() == '-';
    if (negative) {
        number.remove_prefix(1);
    }
    double value = 0;
    if (text.size() > maxDurationChars || !plainNumber(number) ||
        std::from_chars(number.data(), number.data() + number.size(), value).ec != std::errc()) {
        result.problem =
            "not a duration: " + quoted + " (" + formsAccepted(bounds.plainUnitMs) + ")";
        return result;
    }
    if (negative && value > 0) {
        result.problem = "a duration can't be negative: " + quoted;
        return result;
    }
    const double ms = std::round(value * static_cast<double>(unitMs));
    if (ms > static_cast<double>(bounds.maxMs)) {
        result.problem = quoted + " is too long: at most " + durationText(bounds.maxMs);
        return result;
    }
    if (ms < static_cast<double>(bounds.minMs)) {
        result.problem = bounds.minMs <= 1
                             ? quoted + " is no time: it must be more than zero"
                             : quoted + " is too short: at least " + durationText(bounds.minMs);
        return result;
    }
    result.ms = static_cast<std::int64_t>(ms);
    return result;
}

std::string durationText(std::int64_t ms) {
    for (const auto& [unit, name] : {std::pair{3'600'000LL, 'h'}, std::pair{60'000LL, 'm'}}) {
        if (ms % unit == 0) {
            return std::to_string(ms / unit) + name;
        }
    }
    std::string text = std::to_string(ms / 1000);
    if (const std::int64_t rest = ms % 1000; rest != 0) {
        std::string fraction = std::to_string(1000 + rest).substr(1);
        while (fraction.back() == '0') {
            fraction.pop_back();
        }
        text += "." + fraction;
    }
    return text + "s";
}

} // namespace logformat
