#include "platform/system_conventions.h"

#include "platform/windows/wide_text.h"

namespace norvane::platform {

std::filesystem::path pathFromText(std::string_view utf8) { return std::filesystem::path(windows::wide(utf8)); }

std::string pathText(const std::filesystem::path& path) { return windows::narrow(path.native()); }

const std::string_view AllFilesPattern = "*.*";
const std::string_view PlainTextLineBreak = "\r\n";

bool canShowWindows() { return true; }

}  // namespace norvane::platform
