#include "engine/text_encoding.h"

#include "engine/utf8_validation.h"
#include "platform/legacy_code_page.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace norvane {
namespace {

constexpr char32_t Replacement = 0xFFFD;

unsigned byteAt(std::span<const char> units, std::size_t i) { return static_cast<unsigned char>(units[i]); }

bool inRange(unsigned value, unsigned low, unsigned high) { return value >= low && value <= high; }

// What a lead byte allows: the sequence's length, and the range of its second byte (the
// later ones are always 0x80..0xBF). Length 0 for a byte that starts no sequence. With
// `surrogates`, the three-byte forms of U+D800..U+DFFF count as characters too (the stored
// form of UTF-16 text).
struct SequenceRule {
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;
};

inline SequenceRule sequenceRule(unsigned lead, bool surrogates) {
    if (inRange(lead, 0xC2, 0xDF)) return {2};
    if (inRange(lead, 0xE0, 0xEF))
        return {3, lead == 0xE0 ? 0xA0u : 0x80u, lead == 0xED && !surrogates ? 0x9Fu : 0xBFu};
    if (inRange(lead, 0xF0, 0xF4)) return {4, lead == 0xF0 ? 0x90u : 0x80u, lead == 0xF4 ? 0x8Fu : 0xBFu};
    return {};
}

// The length of the valid sequence at the start of `units` (not ASCII), or 0.
inline std::size_t validSequenceLength(std::span<const char> units, bool surrogates) {
    const SequenceRule rule = sequenceRule(byteAt(units, 0), surrogates);
    if (rule.length == 0 || units.size() < rule.length || !inRange(byteAt(units, 1), rule.low, rule.high)) return 0;
    for (std::size_t i = 2; i < rule.length; ++i)
        if (!inRange(byteAt(units, i), 0x80, 0xBF)) return 0;
    return rule.length;
}

// Decodes one UTF-8 sequence (see sequenceRule for `surrogates`).
DecodedCharacter decodeUtf8(std::span<const char> units, bool surrogates) {
    const unsigned lead = byteAt(units, 0);
    if (lead < 0x80) return {lead, 1, true};
    const std::size_t length = validSequenceLength(units, surrogates);
    if (length == 0) return {Replacement, 1, false};
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) value = (value << 6) | (byteAt(units, i) & 0x3F);
    return {value, length, true};
}

// Writes the UTF-8 form of a code point (surrogates included) and returns the end.
char* writeUtf8(char* out, char32_t codePoint) {
    if (codePoint < 0x80) {
        *out++ = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}

// The number of units of the legacy character that starts with `lead`, `next` being the unit
// after it where there is one.
std::size_t legacyLength(const platform::LegacyCodePage& codePage, unsigned lead, std::optional<unsigned> next) {
    return codePage.leads[lead] && next && codePage.pair(lead, *next) != Replacement ? 2 : 1;
}

// The character of legacy text at the start of `units`, as the system's legacy code page reads it.
DecodedCharacter decodeLegacy(std::span<const char> units) {
    const platform::LegacyCodePage& codePage = platform::legacyCodePage();
    const unsigned lead = byteAt(units, 0);
    if (codePage.doubleByte() && units.size() > 1 && legacyLength(codePage, lead, byteAt(units, 1)) == 2)
        return {codePage.pair(lead, byteAt(units, 1)), 2, true};
    const char32_t c = codePage.bytes[lead];
    return {c, 1, c != Replacement};
}

// The units of legacy text that stand for each character: the lowest, where the code page
// has more than one form of a character (single bytes before pairs).
const std::unordered_map<char32_t, std::string>& legacyEncodings() {
    static const std::unordered_map<char32_t, std::string> encodings = [] {
        const platform::LegacyCodePage& codePage = platform::legacyCodePage();
        std::unordered_map<char32_t, std::string> result;
        for (unsigned byte = 0; byte < codePage.bytes.size(); ++byte)
            if (const char32_t c = codePage.bytes[byte]; c != Replacement)
                result.emplace(c, std::string(1, static_cast<char>(byte)));
        for (std::size_t pair = 0; pair < codePage.pairs.size(); ++pair)
            if (const char32_t c = codePage.pairs[pair]; c != Replacement)
                result.emplace(c, std::string{static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)});
        return result;
    }();
    return encodings;
}

bool isSurrogate(char32_t c) { return inRange(c, 0xD800, 0xDFFF); }

void appendUnit(std::string& out, char32_t unit, bool bigEndian) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

// The position of the first byte outside ASCII from `i` on, or the end. Most text is
// ASCII: it is skipped eight bytes at a time, landing on the very byte that is not.
std::size_t nextNonAscii(std::span<const char> bytes, std::size_t i) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t HighBits = 0x8080808080808080ull;
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            if (const std::uint64_t high = word & HighBits) return i + std::countr_zero(high) / 8;
        }
    }
    while (i < bytes.size() && byteAt(bytes, i) < 0x80) ++i;
    return i;
}

}  // namespace

bool isOneUnitEach(TextEncoding encoding) {
    return encoding == TextEncoding::Legacy && !platform::legacyCodePage().doubleByte();
}

bool isDoubleByteLegacy(TextEncoding encoding) {
    return encoding == TextEncoding::Legacy && platform::legacyCodePage().doubleByte();
}

std::size_t legacyCharacterStart(const std::function<char(std::size_t)>& unitAt, std::size_t from,
                                 std::size_t position, std::size_t end) {
    const platform::LegacyCodePage& codePage = platform::legacyCodePage();
    const auto unit = [&](std::size_t i) { return static_cast<unsigned char>(unitAt(i)); };
    // A unit that is no lead byte ends a character, alone or as a second byte: the walk
    // starts behind the nearest one.
    std::size_t at = position;
    while (at > from && codePage.leads[unit(at - 1)]) --at;
    for (;;) {
        const std::size_t length =
            legacyLength(codePage, unit(at), at + 1 < end ? std::optional<unsigned>(unit(at + 1)) : std::nullopt);
        if (at + length > position) return at;
        at += length;
    }
}

bool isValidUtf8(std::span<const char> bytes) {
    if (const std::optional<bool> valid = isValidUtf8ByBlocks(bytes)) return *valid;
    for (std::size_t i = nextNonAscii(bytes, 0); i < bytes.size(); i = nextNonAscii(bytes, i)) {
        const std::size_t length = validSequenceLength(bytes.subspan(i), false);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

DecodedCharacter decodeCharacter(TextEncoding encoding, std::span<const char> units) {
    switch (encoding) {
    case TextEncoding::Legacy:
        return decodeLegacy(units);
    case TextEncoding::Utf8:
        return decodeUtf8(units, false);
    case TextEncoding::Utf16LittleEndian:
    case TextEncoding::Utf16BigEndian:
        return decodeUtf8(units, true);
    }
    return {Replacement, 1, false};
}

std::optional<std::string> encodeCharacter(TextEncoding encoding, char32_t codePoint) {
    if (codePoint > 0x10FFFF || isSurrogate(codePoint)) return std::nullopt;
    if (encoding == TextEncoding::Legacy) {
        if (codePoint == Replacement) return std::nullopt;
        const auto& encodings = legacyEncodings();
        const auto found = encodings.find(codePoint);
        return found == encodings.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    char units[4];
    return std::string(units, writeUtf8(units, codePoint));
}

std::size_t utf16ToStored(std::span<const char> bytes, bool bigEndian, char* out) {
    char* const start = out;
    const std::size_t count = bytes.size() / 2;
    auto unitAt = [&](std::size_t i) -> char32_t {
        const unsigned first = byteAt(bytes, 2 * i), second = byteAt(bytes, 2 * i + 1);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t unit = unitAt(i);
        if (unit < 0x80) {
            *out++ = static_cast<char>(unit);
            continue;
        }
        if (inRange(unit, 0xD800, 0xDBFF) && i + 1 < count && inRange(unitAt(i + 1), 0xDC00, 0xDFFF)) {
            out = writeUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
            continue;
        }
        out = writeUtf8(out, unit);  // an unpaired surrogate is kept as it stands
    }
    return static_cast<std::size_t>(out - start);
}

std::size_t storedToUtf16(std::span<const char> units, bool bigEndian, std::string& out) {
    std::size_t i = 0;
    while (i < units.size()) {
        const unsigned lead = byteAt(units, i);
        if (lead < 0x80) {
            appendUnit(out, lead, bigEndian);
            ++i;
            continue;
        }
        const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (i + needed > units.size()) break;  // finished by the next call
        const DecodedCharacter c = decodeUtf8(units.subspan(i), true);
        if (!c.valid) throw EncodingError("the text holds bytes that UTF-16 cannot store");
        if (c.codePoint >= 0x10000) {
            appendUnit(out, 0xD800 + ((c.codePoint - 0x10000) >> 10), bigEndian);
            appendUnit(out, 0xDC00 + ((c.codePoint - 0x10000) & 0x3FF), bigEndian);
        } else {
            appendUnit(out, c.codePoint, bigEndian);
        }
        i += c.length;
    }
    return i;
}

}  // namespace norvane
