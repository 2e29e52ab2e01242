#include "ui/pane/text_conversion.h"

namespace norvane::ui {

QString decodeUnits(TextEncoding encoding, std::span<const char> units, LineBreaks lineBreaks) {
    QString text;
    text.reserve(static_cast<qsizetype>(units.size()));
    for (std::size_t i = 0; i < units.size();) {
        if (lineBreaks == LineBreaks::AsLineFeed && units[i] == '\r' && i + 1 < units.size() && units[i + 1] == '\n') {
            text += QLatin1Char('\n');
            i += 2;
            continue;
        }
        const DecodedCharacter c = decodeCharacter(encoding, units.subspan(i));
        if (c.codePoint > 0xFFFF) {
            text += QChar(QChar::highSurrogate(c.codePoint));
            text += QChar(QChar::lowSurrogate(c.codePoint));
        } else {
            // An unpaired surrogate of a UTF-16 document stays one.
            text += QChar(static_cast<char16_t>(c.codePoint));
        }
        i += c.length;
    }
    return text;
}

std::optional<std::string> encodeText(TextEncoding encoding, QStringView text) {
    std::string units;
    units.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (c == '\r' || c == '\n') {
            units += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        // An unpaired surrogate is refused with the rest: no encoding holds it as text.
        const std::optional<std::string> encoded = encodeCharacter(encoding, c);
        if (!encoded) return std::nullopt;
        units += *encoded;
    }
    return units;
}

}  // namespace norvane::ui
