// Legacy text is read in the system's ANSI code page. The test runs once in each code page
// of the table, chosen by the locale Wine is started in (ctest sets it, and names the code
// page it expects in NORVANE_EXPECTED_ACP).

#include "engine/text_encoding.h"
#include "platform/legacy_code_page.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace norvane {
namespace {

struct LegacyByte {
    unsigned codePage;
    unsigned char byte;
    char32_t character;
};

constexpr LegacyByte Cases[] = {
    {1252, 0x41, U'A'},      {1252, 0x80, U'€'},      {1252, 0x9F, U'Ÿ'},      {1252, 0xC0, U'À'},
    {1252, 0xFF, U'ÿ'},      {1251, 0x41, U'A'},      {1251, 0x88, U'€'},      {1251, 0xA8, U'Ё'},
    {1251, 0xB9, U'№'},      {1251, 0xC0, U'А'},      {1251, 0xFF, U'я'},
    {1251, 0x98, U'\u0098'},  // undefined in the code page: Windows gives the C1 control
};

unsigned expectedCodePage() {
    const char* value = std::getenv("NORVANE_EXPECTED_ACP");
    return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : 0;
}

TEST(LegacyCodePage, IsTheAnsiCodePageTheLocaleGives) {
    ASSERT_NE(expectedCodePage(), 0u) << "NORVANE_EXPECTED_ACP is not set";
    ASSERT_EQ(::GetACP(), expectedCodePage()) << "Wine was not started in the locale of that code page";
}

TEST(LegacyCodePage, BytesReadAsTheCodePageSays) {
    int checked = 0;
    for (const LegacyByte& c : Cases) {
        if (c.codePage != ::GetACP()) continue;
        ++checked;
        const char unit = static_cast<char>(c.byte);
        const DecodedCharacter decoded = decodeCharacter(TextEncoding::Legacy, {&unit, 1});
        EXPECT_EQ(decoded.codePoint, c.character) << "byte " << c.byte;
        EXPECT_EQ(decoded.length, 1u);
        EXPECT_TRUE(decoded.valid) << "byte " << c.byte;
        EXPECT_EQ(encodeCharacter(TextEncoding::Legacy, c.character), std::string(1, unit)) << "byte " << c.byte;
    }
    EXPECT_GT(checked, 0) << "no case for code page " << ::GetACP();
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
    EXPECT_EQ(encodeCharacter(TextEncoding::Legacy, U'語'), std::nullopt);
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
