#include "platform/legacy_code_page.h"

#include <windows.h>

namespace norvane::platform {
namespace {

// The ANSI code page as the system converts each byte alone, or nothing when a character
// can take more than one byte there.
bool readAnsiCodePage(CodePageTable& table) {
    CPINFO info{};
    if (!::GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 1) return false;
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        const char unit = static_cast<char>(byte);
        wchar_t character = 0;
        table[byte] = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &unit, 1, &character, 1) == 1
                          ? static_cast<char32_t>(character)
                          : U'\uFFFD';
    }
    return true;
}

}  // namespace

const CodePageTable& legacyCodePage() {
    static const CodePageTable table = [] {
        CodePageTable result{};
        return readAnsiCodePage(result) ? result : windows1252();
    }();
    return table;
}

}  // namespace norvane::platform
