#pragma once

#include <optional>

class QKeyEvent;

// Which keys the text pane takes, and what each asks of it.
namespace norvane::ui {

enum class EditCommand { Undo, Cut, Copy, Paste, SelectAll };

enum class CaretMotion {
    NextCharacter,
    PreviousCharacter,
    NextWord,
    PreviousWord,
    NextLine,
    PreviousLine,
    NextPage,
    PreviousPage,
    StartOfLine,
    EndOfLine,
    StartOfDocument,
    EndOfDocument,
};

struct CaretKey {
    CaretMotion motion;
    bool extend;  // the selection key of the motion (with Shift, mostly): the anchor stays
};

// The platform's key sequence for an edit command or a caret motion, if `event` is one.
std::optional<EditCommand> editCommandOf(const QKeyEvent& event);
std::optional<CaretKey> caretKeyOf(const QKeyEvent& event);

// Key text that types characters: printable, without a modifier that makes it a command.
bool typesText(const QKeyEvent& event);

// Keys the pane handles itself, which win over shortcuts of the window it sits in.
bool isPaneKey(const QKeyEvent& event);

}  // namespace norvane::ui
