#include "ui/pane/text_pane.h"

#include "ui/pane/pane_font.h"
#include "ui/pane/primary_selection.h"
#include "ui/pane/text_conversion.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>

#include <algorithm>
#include <utility>

namespace norvane::ui {

TextPane::TextPane(QWidget* parent) : QAbstractScrollArea(parent) {
    // Qt asks every installed factory for an object's accessible interface: once is enough.
    static const bool accessible = (QAccessible::installFactory(&TextPane::accessibleInterface), true);
    (void)accessible;
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    setAccessibleName(tr("Text"));
    setFont(paneFont());
    fontChanged();
}

TextPane::~TextPane() = default;

Document TextPane::setDocument(Document document) {
    if (readOnly_) return document;
    std::swap(document_, document);
    documentReplaced();
    return document;
}

void TextPane::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (readOnly) preedit_.clear();
    viewport()->update();
}

void TextPane::setBusyPointer(bool busy) { viewport()->setCursor(busy ? Qt::BusyCursor : Qt::IBeamCursor); }

bool TextPane::mayEdit() const {
    if (readOnly_) QApplication::beep();
    return !readOnly_;
}

void TextPane::documentReplaced() {
    undo_.clear();
    columns_.reset();
    select(0, 0);
    selection_.forgetPreferredColumn();
    view_.home();
    restartCaretBlink();
    emit textReplaced();
}

bool TextPane::setText(std::string_view text) {
    if (readOnly_) return false;
    document_.setText(text);
    documentReplaced();
    return true;
}

void TextPane::setSelStart(std::size_t position) {
    undo_.seal();
    selection_.setStart(position, document_.size());
    emit caretMoved();
    viewport()->update();
}

void TextPane::setSelLength(std::size_t length) {
    undo_.seal();
    selection_.setLength(length, document_.size());
    emit caretMoved();
    viewport()->update();
}

bool TextPane::setSelText(std::string_view text) {
    if (readOnly_) return false;
    const UnitRange range = selection_.range();
    replaceUnits(range.start, range.end - range.start, text);
    undo_.clear();
    return true;
}

void TextPane::ensureVisible(std::size_t position) {
    view_.ensureVisible(position);
}

// Caret and selection

void TextPane::select(std::size_t anchor, std::size_t caret) {
    selection_.select(anchor, caret);
    if (anchor != caret) offerPrimarySelection(*this, [this, range = selection_.range()] { return clipboardText(range); });
    emit caretMoved();
}

QString TextPane::clipboardText(UnitRange range) const {
    // The text may have changed since the range was taken: what of it is left.
    const std::size_t start = std::min(range.start, document_.size());
    const std::size_t end = std::clamp(range.end, start, document_.size());
    return decodeUnits(document_.format().encoding, document_.slice(start, end - start), ClipboardLineBreaks);
}

void TextPane::moveCaret(std::size_t position, bool extend, bool keepColumn) {
    undo_.seal();
    select(extend ? selection_.anchor() : position, position);
    if (!keepColumn) selection_.forgetPreferredColumn();
    ensureVisible(position);
    restartCaretBlink();
    viewport()->update();
}

void TextPane::moveVertically(std::ptrdiff_t lines, bool extend) {
    const std::size_t caret = selection_.caret();
    const std::size_t line = document_.lineOf(caret);
    const std::size_t last = document_.lineCount() - 1;
    const std::size_t target = lines < 0 ? line - std::min(line, static_cast<std::size_t>(-lines))
                                         : line + std::min(last - line, static_cast<std::size_t>(lines));
    if (!selection_.preferredColumn()) selection_.setPreferredColumn(columnOf(caret));
    moveCaret(columns_.nearestPosition(target, *selection_.preferredColumn()), extend, true);
}

void TextPane::selectAll() {
    undo_.seal();
    select(0, document_.size());
    viewport()->update();
}

// Edits

void TextPane::replaceUnits(std::size_t position, std::size_t removed, std::string_view inserted) {
    Q_ASSERT(!readOnly_);
    const LineColumns::Edit edit = columns_.beforeEdit(position, removed);
    document_.replace(position, removed, inserted);
    columns_.afterEdit(edit, inserted.size());
    const std::size_t caret = position + inserted.size();
    select(caret, caret);
    selection_.forgetPreferredColumn();
    ensureVisible(caret);
    restartCaretBlink();
}

void TextPane::userEdit(UnitRange range, std::string_view inserted, UndoRecord::Kind kind) {
    if (!mayEdit()) return;
    std::string removed = document_.slice(range.start, range.end - range.start);
    replaceUnits(range.start, range.end - range.start, inserted);
    emit unitsReplaced(range.start, removed, inserted);
    undo_.record(kind, range.start, std::move(removed), inserted);
    emit textEdited();
}

void TextPane::replaceSelection(QStringView text, UndoRecord::Kind kind) {
    const std::optional<std::string> units = encodeText(document_.format().encoding, text);
    if (!units) {
        QApplication::beep();
        return;
    }
    userEdit(selection_.range(), *units, kind);
}

void TextPane::editAsUser(std::size_t start, std::size_t end, QStringView text) {
    if (!mayEdit()) return;
    select(start, end);
    replaceSelection(text, UndoRecord::Kind::Other);
}

void TextPane::deleteCharacter(bool forward) {
    UnitRange range = selection_.range();
    const std::size_t caret = selection_.caret();
    if (range.start == range.end)
        range = forward ? characterAfter(document_, caret) : characterBefore(document_, caret);
    if (range.start == range.end) return;
    userEdit(range, {}, forward ? UndoRecord::Kind::Delete : UndoRecord::Kind::Backspace);
}

void TextPane::deleteSelection() {
    if (!selection_.empty()) userEdit(selection_.range(), {}, UndoRecord::Kind::Other);
}

void TextPane::undo() {
    if (undo_.empty() || !mayEdit()) return;
    const UndoRecord::Step step = undo_.undoStep();
    const std::string insert(step.insert);
    const std::string removed = document_.slice(step.position, step.removeCount);
    replaceUnits(step.position, step.removeCount, insert);
    emit unitsReplaced(step.position, removed, insert);
    undo_.undone();
    // What the undo brought back stays selected, so the user sees it.
    select(step.position, step.position + insert.size());
    viewport()->update();
    emit textEdited();
}

void TextPane::copy() const {
    if (!selection_.empty()) QGuiApplication::clipboard()->setText(clipboardText(selection_.range()));
}

void TextPane::cut() {
    if (!mayEdit()) return;
    copy();
    deleteSelection();
}

void TextPane::paste() {
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty()) replaceSelection(text, UndoRecord::Kind::Other);
}

}  // namespace norvane::ui
