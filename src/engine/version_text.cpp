#include "engine/version_text.h"

namespace norvane {

std::string shortVersionText(VersionNumbers version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

std::string fullVersionText(VersionNumbers version) {
    return shortVersionText(version) + "." + std::to_string(version.revision);
}

}  // namespace norvane
