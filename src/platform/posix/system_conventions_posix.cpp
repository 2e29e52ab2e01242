#include "platform/system_conventions.h"

namespace norvane::platform {

std::filesystem::path pathFromText(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string pathText(const std::filesystem::path& path) { return path.native(); }

const std::string_view AllFilesPattern = "*";
const std::string_view PlainTextLineBreak = "\n";

}  // namespace norvane::platform
