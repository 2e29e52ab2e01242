#pragma once

#include <cstdint>

namespace norvane {

// A version as its three numbers; engine/version_text.h writes it out.
struct VersionNumbers {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t revision = 0;
};

}  // namespace norvane
