#include "platform/legacy_code_page.h"

#include <windows.h>

namespace norvane::platform {
namespace {

// The character that `count` bytes of the ANSI code page stand for as the system converts
// them, or U+FFFD where they stand for no one character.
char32_t convert(const char* units, int count) {
    wchar_t characters[2] = {};
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, units, count, characters, 2) == 1
               ? static_cast<char32_t>(characters[0])
               : U'\uFFFD';
}

// The ANSI code page as the system converts it: each byte alone and, in a double-byte code
// page, each lead byte with every byte after it. Nothing for a code page of more than two
// bytes a character (UTF-8).
bool readAnsiCodePage(LegacyCodePage& codePage) {
    CPINFO info{};
    if (!::GetCPInfo(CP_ACP, &info) || info.MaxCharSize > 2) return false;
    for (unsigned byte = 0; byte < codePage.bytes.size(); ++byte) {
        const char unit = static_cast<char>(byte);
        codePage.bytes[byte] = convert(&unit, 1);
    }
    if (info.MaxCharSize == 1) return true;
    // LeadByte holds the ranges of lead bytes as pairs of first and last, ended by two zeros.
    for (unsigned i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
        for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte) codePage.leads[byte] = true;
    codePage.pairs.assign(256 * 256, U'\uFFFD');
    for (unsigned lead = 0; lead < 256; ++lead) {
        if (!codePage.leads[lead]) continue;
        codePage.bytes[lead] = U'\uFFFD';  // a lead byte alone is no character
        for (unsigned second = 0; second < 256; ++second) {
            const char units[2] = {static_cast<char>(lead), static_cast<char>(second)};
            codePage.pairs[lead * 256 + second] = convert(units, 2);
        }
    }
    return true;
}

}  // namespace

const LegacyCodePage& legacyCodePage() {
    static const LegacyCodePage codePage = [] {
        LegacyCodePage result;
        return readAnsiCodePage(result) ? result : LegacyCodePage{windows1252(), {}, {}};
    }();
    return codePage;
}

}  // namespace norvane::platform
