// The names of the application table's category numbers.
#pragma once

#include <cstdint>
#include <string>

namespace report {

// "Browser", "Message", ... "3D model"; 0 is "App". A number the table doesn't use
// (a newer sampler's) is "Category N".
std::string categoryName(std::int64_t category);

} // namespace report
