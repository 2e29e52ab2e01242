#include "platform/registry_value.h"

#include <algorithm>

namespace norvane::platform {

std::optional<std::u16string> registryValueText(std::uint32_t type, std::span<const std::byte> data) {
    switch (static_cast<RegistryType>(type)) {
    case RegistryType::String:
    case RegistryType::ExpandableString: {
        std::u16string text(data.size() / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(std::to_integer<unsigned>(data[2 * i]) |
                                            std::to_integer<unsigned>(data[2 * i + 1]) << 8);
        if (!text.empty() && text.back() == u'\0') text.pop_back();
        return text;
    }
    case RegistryType::Number: {
        if (data.empty()) return std::u16string();
        std::uint32_t number = 0;
        const std::size_t bytes = std::min<std::size_t>(data.size(), 4);
        for (std::size_t i = 0; i < bytes; ++i) number |= std::to_integer<std::uint32_t>(data[i]) << (8 * i);
        const std::string digits = std::to_string(number);
        return std::u16string(digits.begin(), digits.end());
    }
    }
    return std::nullopt;
}

}  // namespace norvane::platform
