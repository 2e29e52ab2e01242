#pragma once

#include <cstddef>
#include <string_view>

// The text pane as assistive technology sees it: an editable text with its characters and
// its caret, through Qt's accessibility interfaces.
namespace norvane::ui {

class TextPane;

// Registers the pane's accessibility interface with Qt; once per program is enough.
void installTextPaneAccessibility();

// Tell assistive technology, when any is listening, what changed.
void announceCaret(TextPane& pane);
void announceEdit(TextPane& pane, std::size_t position, std::string_view removed, std::string_view inserted);
void announceTextReplaced(TextPane& pane);

}  // namespace norvane::ui
