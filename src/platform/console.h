// Standard output and error for the companion programs, and their command line, all
// in UTF-8. Providers: console_win32.cpp, console_linux.cpp.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Writes UTF-8 TEXT whole. On a Windows console it goes through WriteConsoleW, so that
// any character shows whatever the console's code page; to a file or pipe, the bytes
// go out exactly as they are (no line-end translation). A Windows program without a
// console window writes to its parent's console when it was given no stream. False when
// it couldn't.
bool writeStandardOutput(std::string_view text);
bool writeStandardError(std::string_view text);

// How many columns standard output's terminal shows: COLUMNS when it holds a positive
// number (the user's own word, as other tools take it), else the width of the terminal
// or console window standard output is; none for a file or a pipe.
std::optional<int> terminalColumns();

// COLUMNS' value as a width: digits only, 1 to 9999.
inline std::optional<int> columnsValue(const char* text) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    int columns = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || columns > 999) {
            return std::nullopt;
        }
        columns = columns * 10 + (*c - '0');
    }
    return columns > 0 ? std::optional<int>(columns) : std::nullopt;
}

// The program's arguments in UTF-8, the program's own name first. On Windows they come
// from the wide command line, since ARGV is in the ANSI code page there.
std::vector<std::string> commandLineArguments(int argc, char** argv);

} // namespace platform
