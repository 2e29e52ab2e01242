#pragma once

#include "engine/document.h"
#include "ui/controls/line_columns.h"
#include "ui/controls/scroll_scale.h"
#include "ui/controls/text_motion.h"
#include "ui/controls/undo_record.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPalette>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QPainter;

namespace norvane::ui {

// The text pane: an editable view of a Document that shows its characters exactly. A
// display line ends only at CR LF; a bare LF, a bare CR and other control characters show
// as box marks one cell wide inside their line, and a tab runs to the next stop of every 8
// cells. Lines never wrap. Only the visible part is drawn, and a character's cell is found
// by arithmetic, so a frame costs the same for any size of document. The view scrolls in
// lines and columns, so its ranges hold for any document that fits in memory.
//
// The Text/SelStart/SelLength/SelText operations count positions in the document's stored
// units, as the Document does. Setting them does not count as a user edit: textEdited() is
// not emitted and the undo record is dropped.
class TextPane : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TextPane(QWidget* parent = nullptr);
    ~TextPane() override;

    // The document shown. Replacing it puts the caret at the start and scrolls home.
    const Document& document() const { return document_; }
    void setDocument(Document document);

    // Runs `change` on the document (for passes such as the line-ending fixer) and then
    // refreshes the view as after setDocument, keeping the document. While `change` runs
    // (it may process events to show progress) the pane does not read the document: it
    // paints only its background and ignores input; nothing may set its text meanwhile.
    template <class Change>
    void changeDocument(Change&& change) {
        beginChange();
        try {
            change(document_);
        } catch (...) {
            endChange();
            throw;
        }
        endChange();
    }
    bool changingDocument() const { return changing_; }

    std::string text() const { return document_.text(); }
    // Replaces everything; the caret goes to the start and the view scrolls home.
    void setText(std::string_view text);
    std::size_t selStart() const;
    // Places the caret, clamped to the text, with nothing selected.
    void setSelStart(std::size_t position);
    std::size_t selLength() const;
    // Selects from selStart() on, at most to the end of the text.
    void setSelLength(std::size_t length);
    std::string selText() const;
    // Replaces the selection; the caret then stands behind the new text, scrolled into view.
    void setSelText(std::string_view text);

    // The end of the selection that moves with the keys (the caret); the other end is where
    // the selection began, so the caret is selStart() after selecting backwards.
    std::size_t caretPosition() const { return caret_; }

    // The edit commands, as the keys and the context menu run them.
    bool canUndo() const { return !undo_.empty(); }
    void undo();
    void cut();
    void copy() const;
    void paste();
    void deleteSelection();
    void selectAll();

    // The view, in lines and columns.
    std::size_t firstVisibleLine() const { return topLine_; }
    std::uint64_t firstVisibleColumn() const { return firstColumn_; }
    // Lines and columns the viewport shows whole (at least one).
    std::size_t visibleLines() const;
    std::uint64_t visibleColumns() const;
    QSize cellSize() const { return {cellWidth_, cellHeight_}; }
    // The column where the character at `position` begins.
    std::uint64_t columnOf(std::size_t position) const;
    // The cell of `position` in viewport coordinates (possibly outside the viewport).
    QRect cellRect(std::size_t position) const;
    // The character boundary nearest to a point of the viewport.
    std::size_t positionAt(QPoint point) const;
    // Scrolls as little as needed (or a quarter of the width sideways) to show `position`.
    void ensureVisible(std::size_t position);

signals:
    // The user changed the text (typing, deleting, pasting, cutting, undoing).
    void textEdited();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void beginChange();
    void endChange();
    void documentReplaced();

    // Selection and caret (text_pane.cpp).
    UnitRange selection() const;
    void select(std::size_t anchor, std::size_t caret);
    // Moves the caret as a key or click does: `extend` keeps the anchor; `keepColumn` keeps
    // the column that Up and Down aim for.
    void moveCaret(std::size_t position, bool extend, bool keepColumn = false);
    void moveVertically(std::ptrdiff_t lines, bool extend);

    // Edits (text_pane.cpp). replaceUnits is the one place the text changes.
    void replaceUnits(std::size_t position, std::size_t removed, std::string_view inserted);
    void userEdit(UnitRange range, std::string_view inserted, UndoRecord::Kind kind);
    // Types Unicode text over the selection; text the document's encoding cannot hold is
    // refused as a whole with a beep.
    void typeText(QStringView text);
    void deleteCharacter(bool forward);

    // Scrolling (text_pane.cpp).
    void updateScrollBars();
    void scrollTo(std::size_t line, std::uint64_t column);
    void updateMetrics();
    void restartCaretBlink();

    // Input (text_pane_input.cpp).
    bool runStandardKey(QKeyEvent* event);
    bool isOwnShortcut(QKeyEvent* event) const;
    void dragTo(QPoint point);

    // Painting (text_pane_paint.cpp).
    QPalette::ColorGroup colorGroup() const;
    bool selectionShown() const;
    void paintLine(QPainter& painter, std::size_t line, int y);
    void paintCaret(QPainter& painter);

    Document document_;
    // Column arithmetic over document_; it caches, so it is updated from const queries too.
    mutable LineColumns columns_{document_};
    UndoRecord undo_;
    std::size_t anchor_ = 0;
    std::size_t caret_ = 0;
    std::optional<std::uint64_t> preferredColumn_;  // where Up and Down aim

    std::size_t topLine_ = 0;
    std::uint64_t firstColumn_ = 0;
    ScrollScale verticalScale_;
    ScrollScale horizontalScale_;
    bool settingScrollBars_ = false;

    int cellWidth_ = 1;
    int cellHeight_ = 1;
    int ascent_ = 1;

    QBasicTimer caretBlink_;
    bool caretOn_ = true;
    QBasicTimer autoScroll_;
    QPoint dragPoint_;
    bool dragging_ = false;
    bool contextMenuOpen_ = false;
    bool changing_ = false;
};

}  // namespace norvane::ui
