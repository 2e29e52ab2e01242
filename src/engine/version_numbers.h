#pragma once

#include <cstdint>
#include <string>

namespace norvane {

struct VersionNumbers {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t revision = 0;
};

// "2.1": major and minor, as the window title shows them.
std::string shortVersionText(VersionNumbers version);

// "2.1.0": all three numbers, as the About box shows them.
std::string fullVersionText(VersionNumbers version);

}  // namespace norvane
