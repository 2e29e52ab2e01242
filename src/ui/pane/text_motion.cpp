#include "ui/pane/text_motion.h"

#include "engine/text_encoding.h"
#include "ui/pane/char_width.h"

#include <QChar>

#include <algorithm>

namespace norvane::ui {
namespace {

enum class Kind { Blank, Word, Punctuation };

// The text of one line, for stepping inside it.
struct Line {
    const Document& document;
    std::size_t start;
    std::size_t end;  // before its CR LF

    static Line of(const Document& document, std::size_t position) {
        const std::size_t line = document.lineOf(position);
        return {document, document.lineStart(line), document.lineEnd(line)};
    }

    DecodedCharacter characterAt(std::size_t position) const {
        char units[MaxCharacterUnits];
        const std::size_t count = std::min(MaxCharacterUnits, end - position);
        document.copyTo(position, count, units);
        return decodeCharacter(document.format().encoding, {units, count});
    }

    // A combining mark, which goes with the character before it.
    bool isMark(std::size_t position) const {
        return document.format().encoding != TextEncoding::Legacy && position < end &&
               static_cast<unsigned char>(document.at(position)) >= 0x80 && cellsOf(characterAt(position).codePoint) == 0;
    }

    // Behind the character at `position` and its combining marks.
    std::size_t after(std::size_t position) const {
        position += characterAt(position).length;
        while (isMark(position)) position += characterAt(position).length;
        return position;
    }

    // The start of the character that ends at `position` (> start), with its combining marks.
    std::size_t before(std::size_t position) const {
        do position = unitBefore(position);
        while (position > start && isMark(position));
        return position;
    }

    // The start of the one character that ends at `position` (> start): the nearest unit
    // before it that begins a character reaching exactly to `position`, else the unit
    // right before.
    std::size_t unitBefore(std::size_t position) const {
        const TextEncoding encoding = document.format().encoding;
        if (isDoubleByteLegacy(encoding))
            return legacyCharacterStart([&](std::size_t i) { return document.at(i); }, start, position - 1, end);
        if (encoding != TextEncoding::Legacy) {
            const std::size_t reach = std::min(MaxCharacterUnits, position - start);
            for (std::size_t back = 1; back <= reach; ++back) {
                if (isUtf8Continuation(document.at(position - back))) continue;
                if (characterAt(position - back).length == back) return position - back;
                break;
            }
        }
        return position - 1;
    }

    Kind kindAt(std::size_t position) const {
        const char32_t c = characterAt(position).codePoint;
        if (c == ' ' || c == '\t' || (c > 0x7F && c != 0xFEFF && QChar::isSpace(c))) return Kind::Blank;
        if (c == '_' || QChar::isLetterOrNumber(c) || QChar::isMark(c)) return Kind::Word;
        return Kind::Punctuation;
    }
    Kind kindBefore(std::size_t position) const { return kindAt(before(position)); }
};

}  // namespace

std::size_t nextCharacter(const Document& document, std::size_t position) {
    if (position >= document.size()) return document.size();
    const std::size_t line = document.lineOf(position);
    const Line text{document, document.lineStart(line), document.lineEnd(line)};
    if (position >= text.end) return line + 1 < document.lineCount() ? document.lineStart(line + 1) : document.size();
    return text.after(position);
}

std::size_t previousCharacter(const Document& document, std::size_t position) {
    position = std::min(position, document.size());
    if (position == 0) return 0;
    const std::size_t line = document.lineOf(position);
    const Line text{document, document.lineStart(line), document.lineEnd(line)};
    if (position > text.end) return text.end;
    if (position == text.start) return document.lineEnd(line - 1);
    return text.before(position);
}

UnitRange characterBefore(const Document& document, std::size_t position) {
    const Line text = Line::of(document, std::min(position, document.size()));
    if (position > text.end) return {text.end, text.end + 2};
    return {previousCharacter(document, position), position};
}

UnitRange characterAfter(const Document& document, std::size_t position) {
    const Line text = Line::of(document, std::min(position, document.size()));
    if (position > text.end) return {text.end, text.end + 2};
    return {position, nextCharacter(document, position)};
}

std::size_t nextWord(const Document& document, std::size_t position) {
    const Line text = Line::of(document, std::min(position, document.size()));
    if (position >= text.end) return nextCharacter(document, position);
    const Kind kind = text.kindAt(position);
    if (kind != Kind::Blank)
        while (position < text.end && text.kindAt(position) == kind) position = text.after(position);
    while (position < text.end && text.kindAt(position) == Kind::Blank) position = text.after(position);
    return position;
}

std::size_t previousWord(const Document& document, std::size_t position) {
    const Line text = Line::of(document, std::min(position, document.size()));
    position = std::min(position, text.end);
    if (position == text.start) return previousCharacter(document, position);
    while (position > text.start && text.kindBefore(position) == Kind::Blank) position = text.before(position);
    if (position == text.start) return position;
    const Kind kind = text.kindBefore(position);
    while (position > text.start && text.kindBefore(position) == kind) position = text.before(position);
    return position;
}

UnitRange wordAt(const Document& document, std::size_t position) {
    const Line text = Line::of(document, std::min(position, document.size()));
    position = std::min(position, text.end);
    if (text.start == text.end) return {position, position};
    const std::size_t at = position < text.end ? position : text.before(position);
    const Kind kind = text.kindAt(at);
    UnitRange word{at, text.after(at)};
    while (word.start > text.start && text.kindBefore(word.start) == kind) word.start = text.before(word.start);
    while (word.end < text.end && text.kindAt(word.end) == kind) word.end = text.after(word.end);
    return word;
}

}  // namespace norvane::ui
