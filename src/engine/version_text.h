#pragma once

#include "identity/version_numbers.h"

#include <string>

namespace norvane {

// "2.1": major and minor, as the window title shows them.
std::string shortVersionText(VersionNumbers version);

// "2.1.0": all three numbers, as the About box shows them.
std::string fullVersionText(VersionNumbers version);

}  // namespace norvane
