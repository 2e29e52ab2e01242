#include "engine/text_encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace std::literals;

namespace norvane {
namespace {

// Valid when every character decodes, walked one at a time.
bool validCharacterByCharacter(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const DecodedCharacter c = decodeCharacter(TextEncoding::Utf8, bytes.substr(i));
        if (!c.valid) return false;
        i += c.length;
    }
    return true;
}

// Valid and invalid pieces at every offset within a block of 16 and across blocks.
TEST(Utf8Validation, AgreesWithDecodingEveryCharacter) {
    const std::vector<std::string_view> valid = {"a", "\n", "\0"sv, "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80",
                                                 "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80",
                                                 "\xF4\x8F\xBF\xBF", "\xC3\xA9", "\xE2\x82\xAC"};
    const std::vector<std::string_view> invalid = {
        "\x80", "\xBF", "\xC0\xAF", "\xC1\xBF", "\xC2", "\xC2\xC2", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xED\xA0\x80",
        "\xED\xBF\xBF", "\xE2\x82", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
        "\xF8", "\xFF", "\xE2\x82\xAC\xAC", "\xF0\x90\x80"};
    std::mt19937 random(8);
    for (int trial = 0; trial < 20000; ++trial) {
        std::string bytes(random() % 40, 'x');  // shifts what follows within its block
        const std::size_t pieces = trial % 10 == 0 ? random() % 300 : random() % 12;
        for (std::size_t i = 0; i < pieces; ++i) {
            if (random() % 5) bytes += std::string(random() % 20, 'y');
            bytes += random() % 40 == 0 ? invalid[random() % invalid.size()] : valid[random() % valid.size()];
        }
        ASSERT_EQ(isValidUtf8(bytes), validCharacterByCharacter(bytes)) << testing::PrintToString(bytes);
    }
    // An error far into a long text, and a sequence cut short at its very end.
    std::string longText(1 << 20, 'z');
    EXPECT_TRUE(isValidUtf8(longText));
    longText[(1 << 20) - 70000] = '\x80';
    EXPECT_FALSE(isValidUtf8(longText));
    EXPECT_FALSE(isValidUtf8(std::string(4096, 'z') + "\xE2\x82"));
}

}  // namespace
}  // namespace norvane
