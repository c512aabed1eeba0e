// The longest titles a window gives (1023 units), shaped so that an engine trying every
// start position spends time quadratic in their length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LongTitle {
    const char* name;
    std::int32_t rule;
    std::wstring title;
};

std::vector<LongTitle> longTitles();
