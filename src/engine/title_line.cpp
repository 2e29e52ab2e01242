#include "engine/title_line.h"

namespace norvane {
namespace {

std::string prefix(VersionNumbers version) { return "Norvane v" + shortVersionText(version); }

}  // namespace

std::string titleNoFile(VersionNumbers version) { return prefix(version) + " - [No File]"; }

std::string titleLoaded(VersionNumbers version, std::string_view fileName) {
    return prefix(version) + " - [" + std::string(fileName) + "]";
}

std::string titleFixed(VersionNumbers version, std::string_view fileName) {
    return titleLoaded(version, fileName) + " - Fixed";
}

}  // namespace norvane
