#pragma once

#include <array>

// The system's legacy 8-bit code page: how text that is not UTF-8 is read. Each system's
// answer is in its own file (posix/, windows/), chosen in CMake.
namespace norvane::platform {

// The character each byte stands for on its own; U+FFFD for a byte that stands for none.
using CodePageTable = std::array<char32_t, 256>;

// On Windows the ANSI code page, where it has one byte a character; Windows-1252 where it
// has not (a double-byte or UTF-8 code page) and on every other system.
const CodePageTable& legacyCodePage();

// Windows-1252, its five undefined bytes taken as the C1 controls of their number, as
// Windows itself converts them.
const CodePageTable& windows1252();

}  // namespace norvane::platform
