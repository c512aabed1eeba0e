// What the desktop tests need to start a program and read what it prints: its
// environment, execve's arrays, and reads of a line or of everything.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// Environment variables to set (a value) or unset (nullopt) for a child.
using Environment = std::map<std::string, std::optional<std::string>>;

// This process's environment with CHANGES made, as NAME=VALUE entries.
std::vector<std::string> environmentWith(const Environment& changes);

// STRINGS as execve takes them: pointers into them, then a null one.
std::vector<char*> pointers(std::vector<std::string>& strings);

// Reads up to a line feed, or until the writer closes or the time runs out.
std::string readLine(int descriptor, int timeoutMs);

// Reads until the writer closes.
std::string readAll(int descriptor);

} // namespace test_support
