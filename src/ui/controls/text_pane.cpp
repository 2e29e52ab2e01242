#include "ui/controls/text_pane.h"

#include "ui/controls/text_conversion.h"
#include "ui/controls/text_pane_accessibility.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QScrollBar>

#include <algorithm>

namespace norvane::ui {
namespace {

// The pane's font: "Terminal" where the system has it, else the system's fixed-pitch font.
QFont paneFont() {
    QFont font = QFontDatabase::families().contains(QStringLiteral("Terminal"))
                     ? QFont(QStringLiteral("Terminal"))
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setKerning(false);
    return font;
}

}  // namespace

TextPane::TextPane(QWidget* parent) : QAbstractScrollArea(parent) {
    installTextPaneAccessibility();
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    setFont(paneFont());
    updateMetrics();
}

TextPane::~TextPane() = default;

void TextPane::setDocument(Document document) {
    Q_ASSERT(!changing_);
    document_ = std::move(document);
    documentReplaced();
}

void TextPane::beginChange() {
    changing_ = true;
    dragging_ = false;
    autoScroll_.stop();
    caretBlink_.stop();
}

void TextPane::endChange() {
    changing_ = false;
    documentReplaced();
}

void TextPane::documentReplaced() {
    undo_.clear();
    columns_.reset();
    select(0, 0);
    preferredColumn_.reset();
    topLine_ = 0;
    firstColumn_ = 0;
    updateScrollBars();
    restartCaretBlink();
    announceTextReplaced(*this);
}

void TextPane::setText(std::string_view text) {
    Q_ASSERT(!changing_);
    document_.setText(text);
    documentReplaced();
}

std::size_t TextPane::selStart() const { return selection().start; }
std::size_t TextPane::selLength() const { return selection().end - selection().start; }
std::string TextPane::selText() const { return document_.selText(); }

void TextPane::setSelStart(std::size_t position) {
    position = std::min(position, document_.size());
    undo_.seal();
    select(position, position);
    preferredColumn_.reset();
    viewport()->update();
}

void TextPane::setSelLength(std::size_t length) {
    const std::size_t start = selStart();
    undo_.seal();
    select(start, start + std::min(length, document_.size() - start));
    viewport()->update();
}

void TextPane::setSelText(std::string_view text) {
    const UnitRange range = selection();
    replaceUnits(range.start, range.end - range.start, text);
    undo_.clear();
}

// Selection and caret

UnitRange TextPane::selection() const { return {std::min(anchor_, caret_), std::max(anchor_, caret_)}; }

void TextPane::select(std::size_t anchor, std::size_t caret) {
    anchor_ = anchor;
    caret_ = caret;
    const UnitRange range = selection();
    document_.setSelStart(range.start);
    document_.setSelLength(range.end - range.start);
    announceCaret(*this);
}

void TextPane::moveCaret(std::size_t position, bool extend, bool keepColumn) {
    undo_.seal();
    select(extend ? anchor_ : position, position);
    if (!keepColumn) preferredColumn_.reset();
    ensureVisible(position);
    restartCaretBlink();
    viewport()->update();
}

void TextPane::moveVertically(std::ptrdiff_t lines, bool extend) {
    const std::size_t line = document_.lineOf(caret_);
    const std::size_t last = document_.lineCount() - 1;
    const std::size_t target = lines < 0 ? line - std::min(line, static_cast<std::size_t>(-lines))
                                         : line + std::min(last - line, static_cast<std::size_t>(lines));
    if (!preferredColumn_) preferredColumn_ = columnOf(caret_);
    moveCaret(columns_.nearestPosition(target, *preferredColumn_), extend, true);
}

void TextPane::selectAll() {
    undo_.seal();
    select(0, document_.size());
    viewport()->update();
}

// Edits

void TextPane::replaceUnits(std::size_t position, std::size_t removed, std::string_view inserted) {
    Q_ASSERT(!changing_);
    const LineColumns::Edit edit = columns_.beforeEdit(position, removed);
    document_.replace(position, removed, inserted);
    columns_.afterEdit(edit, inserted.size());
    const std::size_t caret = position + inserted.size();
    select(caret, caret);
    preferredColumn_.reset();
    ensureVisible(caret);
    restartCaretBlink();
}

void TextPane::userEdit(UnitRange range, std::string_view inserted, UndoRecord::Kind kind) {
    std::string removed = document_.slice(range.start, range.end - range.start);
    replaceUnits(range.start, range.end - range.start, inserted);
    announceEdit(*this, range.start, removed, inserted);
    undo_.record(kind, range.start, std::move(removed), inserted);
    emit textEdited();
}

void TextPane::typeText(QStringView text) {
    const std::optional<std::string> units = encodeText(document_.format().encoding, text);
    if (!units) {
        QApplication::beep();
        return;
    }
    userEdit(selection(), *units, UndoRecord::Kind::Typing);
}

void TextPane::deleteCharacter(bool forward) {
    UnitRange range = selection();
    if (range.start == range.end)
        range = forward ? characterAfter(document_, caret_) : characterBefore(document_, caret_);
    if (range.start == range.end) return;
    userEdit(range, {}, forward ? UndoRecord::Kind::Delete : UndoRecord::Kind::Backspace);
}

void TextPane::deleteSelection() {
    const UnitRange range = selection();
    if (range.start != range.end) userEdit(range, {}, UndoRecord::Kind::Other);
}

void TextPane::undo() {
    if (undo_.empty()) return;
    const UndoRecord::Step step = undo_.undoStep();
    const std::string insert(step.insert);
    const std::string removed = document_.slice(step.position, step.removeCount);
    replaceUnits(step.position, step.removeCount, insert);
    announceEdit(*this, step.position, removed, insert);
    undo_.undone();
    // What the undo brought back stays selected, so the user sees it.
    select(step.position, step.position + insert.size());
    viewport()->update();
    emit textEdited();
}

void TextPane::copy() const {
    const UnitRange range = selection();
    if (range.start == range.end) return;
    const std::string units = document_.slice(range.start, range.end - range.start);
    QGuiApplication::clipboard()->setText(decodeUnits(document_.format().encoding, units, ClipboardLineBreaks));
}

void TextPane::cut() {
    copy();
    deleteSelection();
}

void TextPane::paste() {
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) return;
    const std::optional<std::string> units = encodeText(document_.format().encoding, text);
    if (!units) {
        QApplication::beep();
        return;
    }
    userEdit(selection(), *units, UndoRecord::Kind::Other);
}

// Scrolling and geometry

std::size_t TextPane::visibleLines() const {
    return static_cast<std::size_t>(std::max(1, viewport()->height() / cellHeight_));
}

std::uint64_t TextPane::visibleColumns() const {
    return static_cast<std::uint64_t>(std::max(1, viewport()->width() / cellWidth_));
}

std::uint64_t TextPane::columnOf(std::size_t position) const { return columns_.columnOf(position); }

QRect TextPane::cellRect(std::size_t position) const {
    const auto line = static_cast<std::int64_t>(document_.lineOf(position));
    const auto column = static_cast<std::int64_t>(columnOf(position));
    const std::int64_t x = (column - static_cast<std::int64_t>(firstColumn_)) * cellWidth_;
    const std::int64_t y = (line - static_cast<std::int64_t>(topLine_)) * cellHeight_;
    constexpr std::int64_t Far = 1 << 24;  // far outside any viewport, still an int
    return {static_cast<int>(std::clamp(x, -Far, Far)), static_cast<int>(std::clamp(y, -Far, Far)), cellWidth_,
            cellHeight_};
}

std::size_t TextPane::positionAt(QPoint point) const {
    const auto floorDivide = [](std::int64_t value, std::int64_t divisor) {
        return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
    };
    const std::int64_t lastLine = static_cast<std::int64_t>(document_.lineCount()) - 1;
    const std::int64_t line = static_cast<std::int64_t>(topLine_) + floorDivide(point.y(), cellHeight_);
    // The boundary nearest to the point: from half a cell on, the next one.
    const std::int64_t cells = floorDivide(point.x() + cellWidth_ / 2, cellWidth_);
    const std::uint64_t column = cells >= 0 ? firstColumn_ + static_cast<std::uint64_t>(cells)
                                            : firstColumn_ - std::min(firstColumn_, static_cast<std::uint64_t>(-cells));
    return columns_.nearestPosition(static_cast<std::size_t>(std::clamp<std::int64_t>(line, 0, lastLine)), column);
}

void TextPane::ensureVisible(std::size_t position) {
    if (changing_) return;
    const std::size_t line = document_.lineOf(position);
    const std::uint64_t column = columnOf(position);
    columns_.knownWidth(line);
    columns_.includeColumn(column);
    updateScrollBars();
    std::size_t top = topLine_;
    const std::size_t lines = visibleLines();
    if (line < top)
        top = line;
    else if (line >= top + lines)
        top = line - lines + 1;
    std::uint64_t left = firstColumn_;
    const std::uint64_t columns = visibleColumns();
    const std::uint64_t jump = columns / 4;
    if (column < left)
        left = column > jump ? column - jump : 0;
    else if (column >= left + columns)
        left = column - columns + 1 + jump;
    scrollTo(top, left);
}

void TextPane::scrollTo(std::size_t line, std::uint64_t column) {
    topLine_ = std::min<std::uint64_t>(line, verticalScale_.maximum());
    firstColumn_ = std::min(column, horizontalScale_.maximum());
    settingScrollBars_ = true;
    verticalScrollBar()->setValue(verticalScale_.toBar(topLine_));
    horizontalScrollBar()->setValue(horizontalScale_.toBar(firstColumn_));
    settingScrollBars_ = false;
    viewport()->update();
}

void TextPane::updateScrollBars() {
    if (changing_) return;
    const std::size_t lines = visibleLines();
    const std::uint64_t columns = visibleColumns();
    const std::size_t lineCount = document_.lineCount();
    // Room for the caret behind the end of the widest line.
    const std::uint64_t width = columns_.widest() + 1;
    verticalScale_.setMaximum(lineCount > lines ? lineCount - lines : 0);
    horizontalScale_.setMaximum(width > columns ? width - columns : 0);
    settingScrollBars_ = true;
    verticalScrollBar()->setRange(0, verticalScale_.barMaximum());
    verticalScrollBar()->setPageStep(verticalScale_.barSteps(lines));
    horizontalScrollBar()->setRange(0, horizontalScale_.barMaximum());
    horizontalScrollBar()->setPageStep(horizontalScale_.barSteps(columns));
    settingScrollBars_ = false;
    scrollTo(topLine_, firstColumn_);
}

void TextPane::scrollContentsBy(int, int) {
    // The pane scrolls itself: a moved bar only sets where drawing starts.
    if (!settingScrollBars_) {
        topLine_ = verticalScale_.fromBar(verticalScrollBar()->value());
        firstColumn_ = horizontalScale_.fromBar(horizontalScrollBar()->value());
    }
    viewport()->update();
}

void TextPane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TextPane::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        updateScrollBars();
    }
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::ActivationChange) viewport()->update();
}

void TextPane::updateMetrics() {
    const QFontMetrics metrics(font());
    cellWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    cellHeight_ = std::max(1, metrics.height());
    ascent_ = metrics.ascent();
}

void TextPane::restartCaretBlink() {
    caretOn_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && !changing_ && flash > 0)
        caretBlink_.start(flash / 2, this);
    else
        caretBlink_.stop();
    viewport()->update();
}

void TextPane::timerEvent(QTimerEvent* event) {
    if (event->timerId() == caretBlink_.timerId()) {
        caretOn_ = !caretOn_;
        if (!changing_) viewport()->update(cellRect(caret_).adjusted(-1, 0, 1, 0));
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
