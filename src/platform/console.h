// Standard output and error for the companion programs, and their command line, all
// in UTF-8. Providers: console_win32.cpp, console_linux.cpp.
#pragma once

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

// The program's arguments in UTF-8, the program's own name first. On Windows they come
// from the wide command line, since ARGV is in the ANSI code page there.
std::vector<std::string> commandLineArguments(int argc, char** argv);

} // namespace platform
