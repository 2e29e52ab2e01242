// What a registry value's data bytes read as: strings lose exactly one terminating zero,
// numbers are decimal, empty data is empty text, other types have no text.

#include "platform/registry_value.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace norvane::platform {
namespace {

constexpr std::uint32_t Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, MultiSz = 7, Qword = 11;

// The bytes the system returns for a UTF-16 string.
std::vector<std::byte> utf16(const std::u16string& text) {
    std::vector<std::byte> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(std::byte(unit & 0xFF));
        bytes.push_back(std::byte(unit >> 8));
    }
    return bytes;
}

std::vector<std::byte> bytes(std::initializer_list<int> values) {
    std::vector<std::byte> result;
    for (const int value : values) result.push_back(std::byte(value));
    return result;
}

std::optional<std::u16string> read(std::uint32_t type, const std::vector<std::byte>& data) {
    return registryValueText(type, data);
}

TEST(RegistryValue, StringsLoseOneTerminatingZeroAndNothingElse) {
    for (const std::uint32_t type : {Sz, ExpandSz}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(read(type, utf16(u"C:\\Windows\\msinfo32.exe" + std::u16string(1, u'\0'))),
                  u"C:\\Windows\\msinfo32.exe");
        EXPECT_EQ(read(type, utf16(u"stored without a zero")), u"stored without a zero");
        EXPECT_EQ(read(type, utf16(std::u16string(u"two\0\0", 5))), std::u16string(u"two\0", 4));
        EXPECT_EQ(read(type, utf16(u"%SystemRoot%\\x")), u"%SystemRoot%\\x") << "expanded by the reader, not here";
        EXPECT_EQ(read(type, utf16(u"Größe \u20AC")), u"Größe \u20AC");
    }
}

TEST(RegistryValue, NoDataReadsAsEmptyTextAndAnOddByteIsNoCharacter) {
    EXPECT_EQ(read(Sz, {}), u"");
    EXPECT_EQ(read(ExpandSz, {}), u"");
    EXPECT_EQ(read(Dword, {}), u"");
    EXPECT_EQ(read(Sz, utf16(std::u16string(1, u'\0'))), u"");
    EXPECT_EQ(read(Sz, bytes({'a', 0, 'b'})), u"a");
}

TEST(RegistryValue, NumbersReadAsUnsignedDecimalText) {
    EXPECT_EQ(read(Dword, bytes({0, 0, 0, 0})), u"0");
    EXPECT_EQ(read(Dword, bytes({0x39, 0x30, 0, 0})), u"12345");
    EXPECT_EQ(read(Dword, bytes({0x78, 0x56, 0x34, 0x12})), u"305419896");
    EXPECT_EQ(read(Dword, bytes({0xFF, 0xFF, 0xFF, 0xFF})), u"4294967295");
    EXPECT_EQ(read(Dword, bytes({0x01, 0x01})), u"257") << "short data is the number's low bytes";
}

TEST(RegistryValue, OtherTypesHaveNoText) {
    EXPECT_EQ(read(Binary, bytes({1, 2, 3})), std::nullopt);
    EXPECT_EQ(read(MultiSz, utf16(std::u16string(u"a\0b\0\0", 5))), std::nullopt);
    EXPECT_EQ(read(Qword, bytes({1, 0, 0, 0, 0, 0, 0, 0})), std::nullopt);
    EXPECT_EQ(read(0, {}), std::nullopt);
}

}  // namespace
}  // namespace norvane::platform
