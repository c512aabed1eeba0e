#include "activity_report/categories.h"

#include <array>
#include <string_view>

namespace report {

namespace {

constexpr std::array<std::string_view, 18> names = {
    "Other", "Browser",  "Message", "Email", "System", "IDE",   "Notes",      "DB edit", "Word",
    "Excel", "Explorer", "Docker",  "Shell", "Music",  "Photo", "Powerpoint", "Games",   "3D model",
};

} // namespace

bool categoryExists(std::int64_t category) {
    return category >= 0 && category < static_cast<std::int64_t>(names.size());
}

std::string categoryName(std::int64_t category) {
    if (categoryExists(category)) {
        return std::string(names[static_cast<std::size_t>(category)]);
    }
    return "Category " + std::to_string(category);
}

std::optional<std::int64_t> categoryNumber(std::string_view name) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    const auto same = [&](std::string_view a, std::string_view b) {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (lower(a[i]) != lower(b[i])) {
                return false;
            }
        }
        return true;
    };
    // Rules written when 0 was called "App" still name it.
    if (same(name, "App")) {
        return 0;
    }
    for (std::size_t n = 0; n < names.size(); ++n) {
        if (same(name, names[n])) {
            return static_cast<std::int64_t>(n);
        }
    }
    return std::nullopt;
}

} // namespace report
