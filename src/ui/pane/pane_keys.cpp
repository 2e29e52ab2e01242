#include "ui/pane/pane_keys.h"

#include <QKeyEvent>

#include <algorithm>
#include <array>

namespace norvane::ui {
namespace {

struct MotionKeys {
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    CaretMotion motion;
};

constexpr std::array<MotionKeys, 12> CaretKeys{{
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, CaretMotion::NextCharacter},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, CaretMotion::PreviousCharacter},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, CaretMotion::NextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, CaretMotion::PreviousWord},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, CaretMotion::NextLine},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, CaretMotion::PreviousLine},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, CaretMotion::NextPage},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, CaretMotion::PreviousPage},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, CaretMotion::StartOfLine},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, CaretMotion::EndOfLine},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, CaretMotion::StartOfDocument},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, CaretMotion::EndOfDocument},
}};

struct CommandKey {
    QKeySequence::StandardKey key;
    EditCommand command;
};

constexpr std::array<CommandKey, 5> CommandKeys{{
    {QKeySequence::Undo, EditCommand::Undo},
    {QKeySequence::Cut, EditCommand::Cut},
    {QKeySequence::Copy, EditCommand::Copy},
    {QKeySequence::Paste, EditCommand::Paste},
    {QKeySequence::SelectAll, EditCommand::SelectAll},
}};

// Ctrl, Alt and Meta make a key a command for the window, not text; but AltGr, which
// arrives as Ctrl+Alt on Windows, still types its character.
bool hasCommandModifier(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods = event.modifiers();
    const bool altGr = (mods & Qt::ControlModifier) && (mods & Qt::AltModifier);
    return !altGr && (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

}  // namespace

std::optional<EditCommand> editCommandOf(const QKeyEvent& event) {
    for (const CommandKey& key : CommandKeys)
        if (event.matches(key.key)) return key.command;
    return std::nullopt;
}

std::optional<CaretKey> caretKeyOf(const QKeyEvent& event) {
    const auto key = std::find_if(CaretKeys.begin(), CaretKeys.end(), [&](const MotionKeys& k) {
        return event.matches(k.move) || event.matches(k.select);
    });
    if (key == CaretKeys.end()) return std::nullopt;
    return CaretKey{key->motion, event.matches(key->select)};
}

bool typesText(const QKeyEvent& event) {
    const QString text = event.text();
    if (text.isEmpty() || hasCommandModifier(event)) return false;
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool isPaneKey(const QKeyEvent& event) {
    if (editCommandOf(event) || caretKeyOf(event)) return true;
    switch (event.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    case Qt::Key_Tab:
        return event.modifiers() == Qt::ControlModifier;
    default:
        return typesText(event);
    }
}

}  // namespace norvane::ui
