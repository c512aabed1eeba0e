// The three patterns removed by the regular-expression engine alone, every start position
// tried: what the guided search in curateTitle must agree with, and the speed it is
// measured against.
#pragma once

#include <cstdint>
#include <string>

namespace unguided {

// The title with every match of RULE's pattern removed; RULE is 0, 1 or 3.
std::wstring removeEveryMatch(const std::wstring& title, std::int32_t rule);

} // namespace unguided
