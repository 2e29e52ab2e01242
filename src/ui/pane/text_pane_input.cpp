// The text pane's keyboard, mouse, input-method and context-menu handling, and its caret's
// blinking. While the document changes, no keyboard or mouse input reaches the pane: the
// window processes events without user input then. An input method's commit comes by
// another route and is dropped here.
#include "ui/pane/text_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>

namespace norvane::ui {
namespace {

// Auto-scrolling while the mouse drags a selection outside the viewport.
constexpr int AutoScrollInterval = 50;

}  // namespace

bool TextPane::event(QEvent* event) {
    // Keys the pane handles itself win over shortcuts of the window it sits in.
    if (event->type() == QEvent::ShortcutOverride && isPaneKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void TextPane::keyPressEvent(QKeyEvent* event) {
    if (const std::optional<EditCommand> command = editCommandOf(*event)) return runEditCommand(*command);
    if (const std::optional<CaretKey> key = caretKeyOf(*event)) return runCaretKey(*key);
    switch (event->key()) {
    case Qt::Key_Backspace:
        deleteCharacter(false);
        return;
    case Qt::Key_Delete:
        deleteCharacter(true);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        replaceSelection(u"\r\n", UndoRecord::Kind::Typing);
        return;
    case Qt::Key_Tab:
        // Tab and Shift+Tab move the focus (QWidget::event does that); Ctrl+Tab types one.
        if (event->modifiers() == Qt::ControlModifier) {
            replaceSelection(u"\t", UndoRecord::Kind::Typing);
            return;
        }
        break;
    default:
        if (typesText(*event)) {
            replaceSelection(event->text(), UndoRecord::Kind::Typing);
            return;
        }
    }
    event->ignore();
}

void TextPane::runEditCommand(EditCommand command) {
    switch (command) {
    case EditCommand::Undo: undo(); break;
    case EditCommand::Cut: cut(); break;
    case EditCommand::Copy: copy(); break;
    case EditCommand::Paste: paste(); break;
    case EditCommand::SelectAll: selectAll(); break;
    }
}

void TextPane::runCaretKey(CaretKey key) {
    const bool extend = key.extend;
    const std::size_t caret = selection_.caret();
    const std::size_t line = document_.lineOf(caret);
    switch (key.motion) {
    case CaretMotion::NextCharacter:
        // Right without Shift ends a selection at its right end.
        moveCaret(!extend && !selection_.empty() ? selection_.range().end : nextCharacter(document_, caret), extend);
        break;
    case CaretMotion::PreviousCharacter:
        moveCaret(!extend && !selection_.empty() ? selection_.range().start : previousCharacter(document_, caret),
                  extend);
        break;
    case CaretMotion::NextWord: moveCaret(nextWord(document_, caret), extend); break;
    case CaretMotion::PreviousWord: moveCaret(previousWord(document_, caret), extend); break;
    case CaretMotion::NextLine: moveVertically(1, extend); break;
    case CaretMotion::PreviousLine: moveVertically(-1, extend); break;
    case CaretMotion::NextPage:
    case CaretMotion::PreviousPage: {
        // The view moves by a page along with the caret.
        const std::size_t page = visibleLines();
        const std::size_t top = view_.firstLine();
        const bool down = key.motion == CaretMotion::NextPage;
        view_.scrollTo(down ? top + page : top - std::min(top, page), view_.firstColumn());
        const auto lines = static_cast<std::ptrdiff_t>(page);
        moveVertically(down ? lines : -lines, extend);
        break;
    }
    case CaretMotion::StartOfLine: moveCaret(document_.lineStart(line), extend); break;
    case CaretMotion::EndOfLine: moveCaret(document_.lineEnd(line), extend); break;
    case CaretMotion::StartOfDocument: moveCaret(0, extend); break;
    case CaretMotion::EndOfDocument: moveCaret(document_.size(), extend); break;
    }
}

void TextPane::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty()) replaceSelection(event->commitString(), UndoRecord::Kind::Typing);
    // What is still being composed shows at the caret, with the input method's cursor in it.
    preedit_ = event->preeditString();
    preeditCursor_ = preedit_.size();
    for (const QInputMethodEvent::Attribute& attribute : event->attributes())
        if (attribute.type == QInputMethodEvent::Cursor) preeditCursor_ = std::clamp<qsizetype>(attribute.start, 0, preedit_.size());
    viewport()->update();
    event->accept();
}

QVariant TextPane::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return !readOnly_;
    case Qt::ImCursorRectangle:
        // The input method puts its candidate window by the caret.
        return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    case Qt::ImHints:
        return QVariant::fromValue(Qt::InputMethodHints(Qt::ImhMultiLine));
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TextPane::mousePressEvent(QMouseEvent* event) {
    // A middle click pastes the primary selection where it points, as X programs do.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        const QString text = QGuiApplication::clipboard()->text(QClipboard::Selection);
        moveCaret(positionAt(event->position()), false);
        if (!text.isEmpty()) replaceSelection(text, UndoRecord::Kind::Other);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    // Text still being composed is typed where it was composed before the caret moves.
    if (!preedit_.isEmpty()) QGuiApplication::inputMethod()->commit();
    moveCaret(positionAt(event->position()), event->modifiers() & Qt::ShiftModifier);
    dragging_ = true;
}

void TextPane::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
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
    if (event->button() != Qt::LeftButton) return;
    const UnitRange word = wordAt(document_, positionAt(event->position()));
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
    const bool selected = !selection_.empty();
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    QMenu menu(this);
    const auto add = [&](const QString& text, QKeySequence::StandardKey key, bool enabled, auto command) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu.addAction(shortcut.isEmpty() ? text : text + QLatin1Char('\t') + shortcut);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, command);
    };
    const bool editable = !readOnly_;
    add(tr("&Undo"), QKeySequence::Undo, editable && canUndo(), &TextPane::undo);
    menu.addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, editable && selected, &TextPane::cut);
    add(tr("&Copy"), QKeySequence::Copy, selected, &TextPane::copy);
    add(tr("&Paste"), QKeySequence::Paste, editable && clipboard && clipboard->hasText(), &TextPane::paste);
    add(tr("&Delete"), QKeySequence::Delete, editable && selected, &TextPane::deleteSelection);
    menu.addSeparator();
    add(tr("Select &All"), QKeySequence::SelectAll, !document_.empty(), &TextPane::selectAll);
    contextMenuOpen_ = true;
    menu.exec(event->globalPos());
    contextMenuOpen_ = false;
    viewport()->update();
}

void TextPane::restartCaretBlink() {
    caretOn_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash > 0)
        caretBlink_.start(flash / 2, this);
    else
        caretBlink_.stop();
    viewport()->update();
}

void TextPane::timerEvent(QTimerEvent* event) {
    // Both timers stop while the document changes.
    if (event->timerId() == caretBlink_.timerId()) {
        caretOn_ = !caretOn_;
        viewport()->update(caretRect().toAlignedRect().adjusted(-1, 0, 1, 0));
    } else if (event->timerId() == autoScroll_.timerId()) {
        dragTo(dragPoint_);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void TextPane::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    restartCaretBlink();
}

void TextPane::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    caretBlink_.stop();
    viewport()->update();
}

}  // namespace norvane::ui
