#pragma once

#include <array>
#include <vector>

// The system's legacy code page: how text that is not UTF-8 is read. Each system's answer is
// in its own file (posix/, windows/), chosen in CMake.
namespace norvane::platform {

// The character each byte stands for on its own; U+FFFD for a byte that stands for none.
using CodePageTable = std::array<char32_t, 256>;

// A legacy code page: one byte a character, or, in a double-byte code page (932, 936, 949,
// 950), one or two: a lead byte and the byte after it make one character where the code page
// defines that pair.
struct LegacyCodePage {
    CodePageTable bytes{};  // a lead byte alone stands for no character
    std::array<bool, 256> leads{};
    // At lead * 256 + second byte: the character the pair stands for, U+FFFD where it
    // stands for none. Empty in a single-byte code page.
    std::vector<char32_t> pairs;

    bool doubleByte() const { return !pairs.empty(); }
    char32_t pair(unsigned lead, unsigned second) const { return pairs[lead * 256 + second]; }
};

// On Windows the ANSI code page, where it has one or two bytes a character; Windows-1252
// where it has not (a UTF-8 code page) and on every other system.
const LegacyCodePage& legacyCodePage();

// Windows-1252, its five undefined bytes taken as the C1 controls of their number, as
// Windows itself converts them.
const CodePageTable& windows1252();

}  // namespace norvane::platform
