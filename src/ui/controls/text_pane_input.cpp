// The text pane's keyboard, mouse, input-method and context-menu handling.
#include "ui/controls/text_pane.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>
#include <array>

namespace norvane::ui {
namespace {

// Auto-scrolling while the mouse drags a selection outside the viewport.
constexpr int AutoScrollInterval = 50;

enum class Move {
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

struct MoveKey {
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    Move motion;
};

constexpr std::array<MoveKey, 12> MoveKeys{{
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::NextCharacter},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::PreviousCharacter},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Move::NextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Move::PreviousWord},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::NextLine},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::PreviousLine},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::NextPage},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::PreviousPage},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::StartOfLine},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::EndOfLine},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Move::StartOfDocument},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::EndOfDocument},
}};

constexpr std::array<QKeySequence::StandardKey, 5> CommandKeys{
    QKeySequence::Undo, QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste, QKeySequence::SelectAll};

// Ctrl, Alt and Meta make a key a command for the window, not text; but AltGr, which
// arrives as Ctrl+Alt on Windows, still types its character.
bool hasCommandModifier(const QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool altGr = (mods & Qt::ControlModifier) && (mods & Qt::AltModifier);
    return !altGr && (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

// Key text that types characters: printable, no control characters.
bool typesText(const QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty() || hasCommandModifier(event)) return false;
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

}  // namespace

bool TextPane::event(QEvent* event) {
    // Keys the pane handles itself win over shortcuts of the window it sits in.
    if (event->type() == QEvent::ShortcutOverride && !changing_ && isOwnShortcut(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

bool TextPane::isOwnShortcut(QKeyEvent* event) const {
    for (const QKeySequence::StandardKey key : CommandKeys)
        if (event->matches(key)) return true;
    for (const MoveKey& key : MoveKeys)
        if (event->matches(key.move) || event->matches(key.select)) return true;
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    case Qt::Key_Tab:
        return event->modifiers() == Qt::ControlModifier;
    default:
        return typesText(event);
    }
}

void TextPane::keyPressEvent(QKeyEvent* event) {
    if (changing_) return;
    if (runStandardKey(event)) return;
    switch (event->key()) {
    case Qt::Key_Backspace:
        deleteCharacter(false);
        return;
    case Qt::Key_Delete:
        deleteCharacter(true);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        typeText(u"\r\n");
        return;
    case Qt::Key_Tab:
        // Tab and Shift+Tab move the focus (QWidget::event does that); Ctrl+Tab types one.
        if (event->modifiers() == Qt::ControlModifier) {
            typeText(u"\t");
            return;
        }
        break;
    default:
        if (typesText(event)) {
            typeText(event->text());
            return;
        }
    }
    event->ignore();
}

bool TextPane::runStandardKey(QKeyEvent* event) {
    if (event->matches(QKeySequence::Undo)) undo();
    else if (event->matches(QKeySequence::Cut)) cut();
    else if (event->matches(QKeySequence::Copy)) copy();
    else if (event->matches(QKeySequence::Paste)) paste();
    else if (event->matches(QKeySequence::SelectAll)) selectAll();
    else {
        const auto key = std::find_if(MoveKeys.begin(), MoveKeys.end(), [&](const MoveKey& k) {
            return event->matches(k.move) || event->matches(k.select);
        });
        if (key == MoveKeys.end()) return false;
        const bool extend = event->matches(key->select);
        const auto page = static_cast<std::ptrdiff_t>(visibleLines());
        const std::size_t line = document_.lineOf(caret_);
        switch (key->motion) {
        case Move::NextCharacter:
            // Right without Shift ends a selection at its right end.
            moveCaret(!extend && anchor_ != caret_ ? selection().end : nextCharacter(document_, caret_), extend);
            break;
        case Move::PreviousCharacter:
            moveCaret(!extend && anchor_ != caret_ ? selection().start : previousCharacter(document_, caret_), extend);
            break;
        case Move::NextWord: moveCaret(nextWord(document_, caret_), extend); break;
        case Move::PreviousWord: moveCaret(previousWord(document_, caret_), extend); break;
        case Move::NextLine: moveVertically(1, extend); break;
        case Move::PreviousLine: moveVertically(-1, extend); break;
        case Move::NextPage:
        case Move::PreviousPage: {
            // The view moves by a page along with the caret.
            const std::ptrdiff_t lines = key->motion == Move::NextPage ? page : -page;
            const std::size_t top = lines > 0 ? topLine_ + static_cast<std::size_t>(lines)
                                              : topLine_ - std::min(topLine_, static_cast<std::size_t>(page));
            scrollTo(top, firstColumn_);
            moveVertically(lines, extend);
            break;
        }
        case Move::StartOfLine: moveCaret(document_.lineStart(line), extend); break;
        case Move::EndOfLine: moveCaret(document_.lineEnd(line), extend); break;
        case Move::StartOfDocument: moveCaret(0, extend); break;
        case Move::EndOfDocument: moveCaret(document_.size(), extend); break;
        }
    }
    return true;
}

void TextPane::inputMethodEvent(QInputMethodEvent* event) {
    if (changing_) return;
    if (!event->commitString().isEmpty()) typeText(event->commitString());
    event->accept();
}

QVariant TextPane::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return !changing_;
    case Qt::ImCursorRectangle:
        return changing_ ? QRect() : cellRect(caret_).translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    case Qt::ImHints:
        return QVariant::fromValue(Qt::InputMethodHints(Qt::ImhMultiLine));
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TextPane::mousePressEvent(QMouseEvent* event) {
    if (changing_ || event->button() != Qt::LeftButton) return;
    moveCaret(positionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
    dragging_ = true;
}

void TextPane::mouseMoveEvent(QMouseEvent* event) {
    if (changing_ || !dragging_ || !(event->buttons() & Qt::LeftButton)) return;
    dragPoint_ = event->position().toPoint();
    dragTo(dragPoint_);
    if (viewport()->rect().contains(dragPoint_))
        autoScroll_.stop();
    else if (!autoScroll_.isActive())
        autoScroll_.start(AutoScrollInterval, this);
}

void TextPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = false;
    autoScroll_.stop();
}

void TextPane::mouseDoubleClickEvent(QMouseEvent* event) {
    if (changing_ || event->button() != Qt::LeftButton) return;
    const UnitRange word = wordAt(document_, positionAt(event->position().toPoint()));
    undo_.seal();
    select(word.start, word.end);
    ensureVisible(word.end);
    dragging_ = false;
}

void TextPane::dragTo(QPoint point) {
    // Outside the viewport, moving the caret to the nearest position scrolls a step.
    moveCaret(positionAt(point), true);
}

void TextPane::contextMenuEvent(QContextMenuEvent* event) {
    if (changing_) return;
    const bool selected = anchor_ != caret_;
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    QMenu menu(this);
    const auto add = [&](const QString& text, QKeySequence::StandardKey key, bool enabled, auto command) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu.addAction(shortcut.isEmpty() ? text : text + QLatin1Char('\t') + shortcut);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, command);
    };
    add(tr("&Undo"), QKeySequence::Undo, canUndo(), &TextPane::undo);
    menu.addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, selected, &TextPane::cut);
    add(tr("&Copy"), QKeySequence::Copy, selected, &TextPane::copy);
    add(tr("&Paste"), QKeySequence::Paste, clipboard && clipboard->hasText(), &TextPane::paste);
    add(tr("&Delete"), QKeySequence::Delete, selected, &TextPane::deleteSelection);
    menu.addSeparator();
    add(tr("Select &All"), QKeySequence::SelectAll, !document_.empty(), &TextPane::selectAll);
    contextMenuOpen_ = true;
    menu.exec(event->globalPos());
    contextMenuOpen_ = false;
    viewport()->update();
}

}  // namespace norvane::ui
