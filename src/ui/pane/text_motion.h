#pragma once

#include "engine/document.h"

#include <cstddef>

// Moving through a document by characters and words, as the caret does. A CR LF pair is
// one line break, a character stored in several units is one character, and a character
// with the combining marks behind it is one step, as it takes one place on screen: no step
// ends inside any of them. Word motion stays within a line; a line break is a stop of its
// own.
namespace norvane::ui {

struct UnitRange {
    std::size_t start = 0;
    std::size_t end = 0;

    bool operator==(const UnitRange&) const = default;
};

std::size_t nextCharacter(const Document& document, std::size_t position);
std::size_t previousCharacter(const Document& document, std::size_t position);

// The units that Backspace and Delete remove at a caret: the character before or after
// it, or a whole CR LF pair (also when the caret stands between its CR and its LF).
UnitRange characterBefore(const Document& document, std::size_t position);
UnitRange characterAfter(const Document& document, std::size_t position);

// Ctrl+Right: over the rest of the word (or run of punctuation) and the blanks behind it.
std::size_t nextWord(const Document& document, std::size_t position);
// Ctrl+Left: back over blanks, then to the start of the word (or run of punctuation).
std::size_t previousWord(const Document& document, std::size_t position);
// Double-click: the word, run of punctuation or run of blanks at a position.
UnitRange wordAt(const Document& document, std::size_t position);

}  // namespace norvane::ui
