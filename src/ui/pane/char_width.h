#pragma once

// How many cells a character takes in the pane, as in a terminal: East Asian Wide and
// Fullwidth characters (CJK ideographs, kana, Hangul syllables, fullwidth forms, most
// emoji) take two, combining marks take none and are drawn on the character before them,
// and so do Hangul medial vowels and final consonants, which join the consonant before
// them; everything else takes one. The table behind it is generated from the Unicode data
// (scripts/make_char_width_table.py). A tab is not a character of fixed width (see
// cell_walk.h).
#include <QStringView>

#include <cstdint>

namespace norvane::ui {

int cellsOf(char32_t c);
// The cells of a text, a tab counted as one.
std::uint64_t cellsOf(QStringView text);

}  // namespace norvane::ui
