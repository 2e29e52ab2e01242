#include "platform/system_conventions.h"

namespace norvane::platform {

std::filesystem::path pathFromText(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string pathText(const std::filesystem::path& path) { return path.native(); }

}  // namespace norvane::platform
