#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

// How a document's characters are stored and written. The document always holds its text
// as 8-bit units: a UTF-8 file as its own bytes, a legacy file as its own bytes (one
// character each, or one or two in a double-byte code page), and a UTF-16 file converted to
// the 8-bit form of UTF-16 (UTF-8 that also carries unpaired surrogates), so that every
// file is written back byte for byte.
namespace norvane {

enum class TextEncoding {
    Utf8,
    Legacy,  // the system's legacy code page (platform/legacy_code_page.h)
    Utf16LittleEndian,
    Utf16BigEndian,
};

struct FileFormat {
    TextEncoding encoding = TextEncoding::Utf8;
    bool byteOrderMark = false;

    bool operator==(const FileFormat&) const = default;
};

// Stored units that the document's file encoding cannot write.
class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool isValidUtf8(std::span<const char> bytes);

// The most units one character is stored in, and the most that can follow its first unit.
inline constexpr std::size_t MaxCharacterUnits = 4;
inline constexpr std::size_t MaxTrail = MaxCharacterUnits - 1;

// A byte that continues a UTF-8 sequence rather than starting one. The stored form of every
// encoding but Legacy is UTF-8 in this respect.
constexpr bool isUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Whether every stored unit of `encoding` is a character of its own: legacy text in a
// single-byte code page.
bool isOneUnitEach(TextEncoding encoding);

// Whether `encoding` is legacy text in a double-byte code page. Its second bytes take
// values of lead bytes and of ASCII too, so a character's start can't be told from the
// units around it alone: see legacyCharacterStart.
bool isDoubleByteLegacy(TextEncoding encoding);

// The start of the character of double-byte legacy text that holds the unit at `position`
// (< `end`, the end of the text). `unitAt` gives the unit at an offset; `from` is a
// character start at or before `position`, such as the start of its line.
std::size_t legacyCharacterStart(const std::function<char(std::size_t)>& unitAt, std::size_t from,
                                 std::size_t position, std::size_t end);

struct DecodedCharacter {
    char32_t codePoint = 0;  // U+FFFD where the units do not form a character
    std::size_t length = 1;  // units taken, at least one
    bool valid = true;
};

// Decodes the character at the start of `units` (not empty), as the document stores text of
// `encoding`. An unpaired surrogate of a UTF-16 file decodes as itself. In a double-byte
// code page a lead byte and the byte after it are one character where the code page defines
// that pair; a lead byte without one (at the end of `units`, or before a byte that makes no
// character with it) is a unit of its own that stands for no character (U+FFFD, not valid),
// and the byte after it is read anew.
DecodedCharacter decodeCharacter(TextEncoding encoding, std::span<const char> units);

// The units that store `codePoint` in a document of `encoding`, or nothing when that
// encoding cannot hold it.
std::optional<std::string> encodeCharacter(TextEncoding encoding, char32_t codePoint);

// The number of stored units that `byteCount` bytes of UTF-16 need at most.
constexpr std::size_t storedSizeOfUtf16(std::size_t byteCount) { return byteCount / 2 * 3; }

// Converts UTF-16 bytes (an even number) to the stored form; `out` has room for
// storedSizeOfUtf16(bytes.size()) units. Returns the number of units written.
std::size_t utf16ToStored(std::span<const char> bytes, bool bigEndian, char* out);

// Converts stored units back to UTF-16 bytes, appending to `out`. Returns the number of units
// consumed: a character split at the end of `units` is left for the next call. Throws
// EncodingError for units that no UTF-16 text can give.
std::size_t storedToUtf16(std::span<const char> units, bool bigEndian, std::string& out);

}  // namespace norvane
