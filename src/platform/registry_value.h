#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace norvane::platform {

// Registry value types, by the system's numbers.
enum class RegistryType : std::uint32_t {
    String = 1,            // REG_SZ
    ExpandableString = 2,  // REG_EXPAND_SZ: a string naming environment variables as %NAME%
    Number = 4,            // REG_DWORD: a 32-bit little-endian number
};

// The text of a registry value from its type and the data bytes the system returned (strings
// in UTF-16). A string loses one terminating zero if it was stored with one, and nothing
// else; an odd last byte is not part of any character. A 32-bit number gives its decimal
// text. Data of no bytes give the empty string. Any other type gives nothing.
std::optional<std::u16string> registryValueText(std::uint32_t type, std::span<const std::byte> data);

}  // namespace norvane::platform
