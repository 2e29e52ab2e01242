// Legacy text is read in the system's ANSI code page. The test runs once in each code page
// of the table, chosen by the locale Wine is started in (ctest sets it, and names the code
// page it expects in NORVANE_EXPECTED_ACP): single-byte ones, and Japanese Shift-JIS (932),
// where a character takes one byte or two.

#include "engine/text_encoding.h"
#include "platform/legacy_code_page.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {
namespace {

struct LegacyCharacter {
    unsigned codePage;
    std::string_view bytes;
    char32_t character;
};

constexpr LegacyCharacter Cases[] = {
    {1252, "\x41", U'A'},     {1252, "\x80", U'€'},     {1252, "\x9F", U'Ÿ'},     {1252, "\xC0", U'À'},
    {1252, "\xFF", U'ÿ'},     {1251, "\x41", U'A'},     {1251, "\x88", U'€'},     {1251, "\xA8", U'Ё'},
    {1251, "\xB9", U'№'},     {1251, "\xC0", U'А'},     {1251, "\xFF", U'я'},
    {1251, "\x98", U'\u0098'},  // undefined in the code page: Windows gives the C1 control
    // Shift-JIS: ASCII and half-width katakana take one byte, the rest two; a second byte
    // can look like ASCII ('{', '\\') or like a lead byte (0x95 0x95).
    {932, "\x41", U'A'},      {932, "\xB1", U'ｱ'},      {932, "\x82\xA0", U'あ'},  {932, "\x93\xFA", U'日'},
    {932, "\x96\x7B", U'本'}, {932, "\x95\x5C", U'表'}, {932, "\x95\x95", U'封'},  {932, "\x81\x40", U'\u3000'},
};

unsigned expectedCodePage() {
    const char* value = std::getenv("NORVANE_EXPECTED_ACP");
    return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : 0;
}

TEST(LegacyCodePage, IsTheAnsiCodePageTheLocaleGives) {
    ASSERT_NE(expectedCodePage(), 0u) << "NORVANE_EXPECTED_ACP is not set";
    ASSERT_EQ(::GetACP(), expectedCodePage()) << "Wine was not started in the locale of that code page";
}

std::string hex(std::string_view bytes) {
    std::string text;
    for (const char byte : bytes) {
        if (!text.empty()) text += ' ';
        text += std::to_string(static_cast<unsigned char>(byte));
    }
    return text;
}

TEST(LegacyCodePage, BytesReadAsTheCodePageSays) {
    int checked = 0;
    for (const LegacyCharacter& c : Cases) {
        if (c.codePage != ::GetACP()) continue;
        ++checked;
        // Followed by a line break, as in a file: the character takes its own bytes only.
        const std::string units = std::string(c.bytes) + "\n";
        const DecodedCharacter decoded = decodeCharacter(TextEncoding::Legacy, units);
        EXPECT_EQ(decoded.codePoint, c.character) << "bytes " << hex(c.bytes);
        EXPECT_EQ(decoded.length, c.bytes.size()) << "bytes " << hex(c.bytes);
        EXPECT_TRUE(decoded.valid) << "bytes " << hex(c.bytes);
        EXPECT_EQ(encodeCharacter(TextEncoding::Legacy, c.character), std::string(c.bytes)) << "bytes " << hex(c.bytes);
    }
    EXPECT_GT(checked, 0) << "no case for code page " << ::GetACP();
    EXPECT_EQ(isDoubleByteLegacy(TextEncoding::Legacy), ::GetACP() == 932);
}

// In a double-byte code page a lead byte that makes no character with the byte after it, or
// has none, is a unit of its own standing for no character, and the next byte is read anew:
// the units walked are the file's bytes, one for one. Each row: the bytes, then the
// characters read from them in turn with the units each takes.
struct DoubleByteWalk {
    std::string_view bytes;
    std::vector<std::pair<char32_t, std::size_t>> characters;
};

TEST(DoubleByteCodePage, ALeadByteWithoutItsPairStandsAlone) {
    ASSERT_EQ(::GetACP(), 932u) << "run only in a locale whose code page is 932";
    const DoubleByteWalk walks[] = {
        {"\x82", {{U'\uFFFD', 1}}},
        {"\x82\n", {{U'\uFFFD', 1}, {U'\n', 1}}},
        {"\x82\x7F\x82\xA0", {{U'\uFFFD', 1}, {U'\x7F', 1}, {U'あ', 2}}},
        {"\x85\x82\xA0", {{U'\uFFFD', 1}, {U'あ', 2}}},  // 0x85 0x82 is undefined
        {"A\x95\x5C\x8E\xA6", {{U'A', 1}, {U'表', 2}, {U'示', 2}}},
    };
    for (const DoubleByteWalk& walk : walks) {
        std::size_t at = 0;
        for (const auto& [character, length] : walk.characters) {
            ASSERT_LT(at, walk.bytes.size()) << hex(walk.bytes);
            const DecodedCharacter c = decodeCharacter(TextEncoding::Legacy, walk.bytes.substr(at));
            EXPECT_EQ(c.codePoint, character) << hex(walk.bytes) << " at " << at;
            EXPECT_EQ(c.length, length) << hex(walk.bytes) << " at " << at;
            EXPECT_EQ(c.valid, character != U'\uFFFD') << hex(walk.bytes) << " at " << at;
            at += c.length;
        }
        EXPECT_EQ(at, walk.bytes.size()) << hex(walk.bytes);
    }
}

// The start of the character that holds each unit, found from the units before it alone.
TEST(DoubleByteCodePage, CharacterStartsAreFoundBehindAnyUnit) {
    ASSERT_EQ(::GetACP(), 932u) << "run only in a locale whose code page is 932";
    struct Row {
        std::string_view bytes;
        std::vector<std::size_t> starts;  // for each unit
    };
    const Row rows[] = {
        {"A\x95\x5C\x8E\xA6", {0, 1, 1, 3, 3}},
        {"\x95\x95\x95\x95\x95", {0, 0, 2, 2, 4}},  // the last lead byte has no pair
        {"\x85\x82\xA0{", {0, 1, 1, 3}},
        {"\x96\x7B\x7B", {0, 0, 2}},
    };
    for (const Row& row : rows) {
        const auto unitAt = [&](std::size_t i) { return row.bytes[i]; };
        for (std::size_t i = 0; i < row.bytes.size(); ++i)
            EXPECT_EQ(legacyCharacterStart(unitAt, 0, i, row.bytes.size()), row.starts[i])
                << hex(row.bytes) << " unit " << i;
    }
}

// Typing a character puts back the byte it was read from, for every byte the code page
// defines, and a character it lacks can't be stored.
TEST(LegacyCodePage, EveryDefinedByteComesBackFromItsCharacter) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char unit = static_cast<char>(byte);
        const DecodedCharacter decoded = decodeCharacter(TextEncoding::Legacy, {&unit, 1});
        if (!decoded.valid) continue;
        EXPECT_EQ(encodeCharacter(TextEncoding::Legacy, decoded.codePoint), std::string(1, unit)) << "byte " << byte;
    }
    EXPECT_EQ(encodeCharacter(TextEncoding::Legacy, U'\uFFFD'), std::nullopt);
    EXPECT_EQ(encodeCharacter(TextEncoding::Legacy, ::GetACP() == 932 ? U'한' : U'語'), std::nullopt);
}

// Every character of a two-byte pair is typed back as a pair that reads as that character
// (the very same bytes, but where the code page has two forms of it).
TEST(DoubleByteCodePage, EveryPairsCharacterComesBackAsAPair) {
    ASSERT_EQ(::GetACP(), 932u) << "run only in a locale whose code page is 932";
    int pairs = 0, same = 0;
    for (unsigned lead = 0x81; lead < 256; ++lead) {
        for (unsigned second = 0; second < 256; ++second) {
            const char units[2] = {static_cast<char>(lead), static_cast<char>(second)};
            const DecodedCharacter decoded = decodeCharacter(TextEncoding::Legacy, {units, 2});
            if (decoded.length != 2) continue;
            ++pairs;
            const std::optional<std::string> typed = encodeCharacter(TextEncoding::Legacy, decoded.codePoint);
            ASSERT_TRUE(typed) << lead << " " << second;
            const DecodedCharacter again = decodeCharacter(TextEncoding::Legacy, *typed);
            EXPECT_EQ(again.codePoint, decoded.codePoint) << lead << " " << second;
            EXPECT_EQ(again.length, typed->size()) << lead << " " << second;
            same += *typed == std::string(units, 2);
        }
    }
    // Shift-JIS as Windows has it: JIS X 0208 with the NEC and IBM extensions (and the
    // user-defined area), 7,000 pairs and more, a few hundred of them second forms.
    EXPECT_GT(pairs, 7000);
    EXPECT_GT(same, pairs - 1000);
}

// Windows-1252 as the program knows it for other systems is the one Windows converts by.
TEST(LegacyCodePage, Windows1252TableAgreesWithTheSystem) {
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char unit = static_cast<char>(byte);
        wchar_t character = 0;
        ASSERT_EQ(::MultiByteToWideChar(1252, 0, &unit, 1, &character, 1), 1);
        EXPECT_EQ(platform::windows1252()[byte], static_cast<char32_t>(character)) << "byte " << byte;
    }
}

}  // namespace
}  // namespace norvane
