// The names of the application table's category numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace report {

// "Browser", "Message", ... "3D model"; 0, every program the sampler doesn't know, is
// "Other". A number the table doesn't use
// (a newer sampler's) is "Category N".
std::string categoryName(std::int64_t category);

// Whether the application table gives some application this category (0 to 17).
bool categoryExists(std::int64_t category);

// The number of a category of the table by its name, in any letter case ("ide" is 5);
// "App", 0's former name, is 0 too.
// "Category 23" names no category the table has, so it has no number.
std::optional<std::int64_t> categoryNumber(std::string_view name);

} // namespace report
