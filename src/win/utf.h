#pragma once
// Text between the core's UTF-8 strings and the system's UTF-16 calls.
#include <cstddef>
#include <string>
#include <vector>

namespace quorlane {

std::wstring Utf16(const std::string& utf8);
std::string Utf8(const wchar_t* utf16, size_t count);
std::string Utf8(const wchar_t* utf16);  // up to its terminating zero

// The program's arguments (without its own name), from the UTF-16 command
// line: as the C runtime split them for a UTF-16 entry point (wmain,
// wWinMain), else split here.
std::vector<std::string> CommandLineArguments();

}  // namespace quorlane
