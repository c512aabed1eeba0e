#include "activity_report/categories.h"

#include <array>
#include <string_view>

namespace report {

namespace {

constexpr std::array<std::string_view, 18> names = {
    "App",   "Browser",  "Message", "Email", "System", "IDE",   "Notes",      "DB edit", "Word",
    "Excel", "Explorer", "Docker",  "Shell", "Music",  "Photo", "Powerpoint", "Games",   "3D model",
};

} // namespace

std::string categoryName(std::int64_t category) {
    if (category >= 0 && category < static_cast<std::int64_t>(names.size())) {
        return std::string(names[static_cast<std::size_t>(category)]);
    }
    return "Category " + std::to_string(category);
}

} // namespace report
