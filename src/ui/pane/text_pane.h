#pragma once

#include "engine/document.h"
#include "ui/pane/caret_selection.h"
#include "ui/pane/glyph_cache.h"
#include "ui/pane/line_columns.h"
#include "ui/pane/pane_keys.h"
#include "ui/pane/pane_view.h"
#include "ui/pane/text_motion.h"
#include "ui/pane/undo_record.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPalette>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class QAccessibleInterface;
class QPainter;

namespace norvane::ui {

// The text pane: an editable view of a Document that shows its characters exactly, in
// stored order (right-to-left text too), as a terminal does. A display line ends only at
// CR LF; a bare LF shows as a box one cell wide inside its line, a bare CR and the other
// invisible characters (controls, format characters) as a box struck through; a wide (CJK)
// character takes two cells, a combining mark sits on the character before it, and a tab
// runs to the next stop of every 8 cells. Lines never wrap. Only the visible part is drawn
// (see PaneView and paintRows), so a frame costs the same for any size of document. The pane
// holds the document, the caret and selection (CaretSelection) and the undo record, and
// turns input into edits.
//
// The Text/SelStart/SelLength/SelText operations count positions in the document's stored
// units, as the Document does. Setting them does not count as a user edit: textEdited() is
// not emitted and the undo record is dropped.
class TextPane : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TextPane(QWidget* parent = nullptr);
    ~TextPane() override;

    // The document shown. Replacing it puts the caret at the start and scrolls home; the
    // document replaced is handed back, for the caller to free where that costs no frame.
    // A read-only pane refuses, and hands back `document`.
    const Document& document() const { return document_; }
    Document setDocument(Document document);

    // Runs `change` on the document in one step (for passes such as the line-ending fixer)
    // and then refreshes the view as after setDocument, keeping the document. False, with
    // nothing run, while the pane is read-only.
    template <class Change>
    bool changeDocument(Change&& change) {
        if (readOnly_) return false;
        try {
            change(document_);
        } catch (...) {
            documentReplaced();
            throw;
        }
        documentReplaced();
        return true;
    }

    // A read-only pane shows, scrolls, selects and copies, but refuses every change of its
    // document: the user's edits with a beep, the program's (setDocument, changeDocument,
    // setText, setSelText) by returning false. The window makes it read-only while the
    // document is being saved from another thread, or another one loaded.
    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    // While the window works on the file, the pane shows the busy pointer instead of the I-beam.
    void setBusyPointer(bool busy);

    std::string text() const { return document_.text(); }
    // Replaces everything; the caret goes to the start and the view scrolls home.
    bool setText(std::string_view text);
    std::size_t selStart() const { return selection_.range().start; }
    // Places the caret, clamped to the text, with nothing selected.
    void setSelStart(std::size_t position);
    std::size_t selLength() const { return selection_.range().end - selection_.range().start; }
    // Selects from selStart() on, at most to the end of the text.
    void setSelLength(std::size_t length);
    std::string selText() const { return document_.slice(selStart(), selLength()); }
    // Replaces the selection; the caret then stands behind the new text, scrolled into view.
    bool setSelText(std::string_view text);
    // Replaces the units from `start` to `end` by Unicode text as the user's own edit, the
    // way assistive technology edits: refused with a beep while read-only, or when the
    // document's encoding cannot hold the text; undone as typing is.
    void editAsUser(std::size_t start, std::size_t end, QStringView text);

    // The end of the selection that moves with the keys (the caret); the other end is where
    // the selection began, so the caret is selStart() after selecting backwards.
    std::size_t caretPosition() const { return selection_.caret(); }

    // The edit commands, as the keys and the context menu run them.
    bool canUndo() const { return !undo_.empty(); }
    void undo();
    void cut();
    void copy() const;
    void paste();
    void deleteSelection();
    void selectAll();

    // The view, in lines and columns (see PaneView).
    std::size_t firstVisibleLine() const { return view_.firstLine(); }
    std::uint64_t firstVisibleColumn() const { return view_.firstColumn(); }
    std::size_t visibleLines() const { return view_.visibleLines(); }
    std::uint64_t visibleColumns() const { return view_.visibleColumns(); }
    QSizeF cellSize() const { return view_.cellSize(); }
    std::uint64_t columnOf(std::size_t position) const { return view_.columnOf(position); }
    QRectF cellRect(std::size_t position) const { return view_.cellRect(position); }
    std::size_t positionAt(QPointF point) const { return view_.positionAt(point); }
    void ensureVisible(std::size_t position);

signals:
    // The user changed the text (typing, deleting, pasting, cutting, undoing).
    void textEdited();
    // For listeners that follow the text and the caret, such as assistive technology: the
    // caret or the selection moved; the user's edit replaced `removed` units at `position`
    // by `inserted`; the whole text was replaced.
    void caretMoved();
    void unitsReplaced(std::size_t position, std::string_view removed, std::string_view inserted);
    void textReplaced();

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
    // The pane's accessible interface for Qt's factory (text_pane_accessibility.cpp).
    static QAccessibleInterface* accessibleInterface(const QString& className, QObject* object);

    void documentReplaced();

    // Caret and selection (text_pane.cpp). A selection made here is also offered as the
    // X primary selection.
    void select(std::size_t anchor, std::size_t caret);
    // Moves the caret as a key or click does: `extend` keeps the anchor; `keepColumn` keeps
    // the column that Up and Down aim for.
    void moveCaret(std::size_t position, bool extend, bool keepColumn = false);
    void moveVertically(std::ptrdiff_t lines, bool extend);
    // The units of `range`, as much of it as the text still holds, as the clipboard takes them.
    QString clipboardText(UnitRange range) const;

    // Edits (text_pane.cpp). replaceUnits is the one place the text changes.
    void replaceUnits(std::size_t position, std::size_t removed, std::string_view inserted);
    // False, with a beep, while the pane is read-only: the user's edit is refused.
    bool mayEdit() const;
    void userEdit(UnitRange range, std::string_view inserted, UndoRecord::Kind kind);
    // Puts Unicode text in place of the selection; text the document's encoding cannot
    // hold is refused as a whole with a beep.
    void replaceSelection(QStringView text, UndoRecord::Kind kind);
    void deleteCharacter(bool forward);

    // Input (text_pane_input.cpp).
    void runEditCommand(EditCommand command);
    void runCaretKey(CaretKey key);
    void dragTo(QPoint point);
    void restartCaretBlink();

    // The view (text_pane_view.cpp).
    void updateScrollBars();
    // The caret's cell; while an input method composes text, moved to the cursor in it.
    QRectF caretRect() const;
    // The text being composed, drawn over the cells from the caret on, underlined.
    void paintPreedit(QPainter& painter, QPalette::ColorGroup group);
    // Takes the cell size and glyphs from the pane's font.
    void fontChanged();
    QPalette::ColorGroup colorGroup() const;

    Document document_;
    // Column arithmetic over document_; it caches, so it is updated from const queries too.
    mutable LineColumns columns_{document_};
    PaneView view_{*this, document_, columns_};
    GlyphCache glyphs_{font()};
    CaretSelection selection_;
    UndoRecord undo_;

    QString preedit_;       // what the input method is composing, not yet in the document
    qsizetype preeditCursor_ = 0;
    QBasicTimer caretBlink_;
    bool caretOn_ = true;
    QBasicTimer autoScroll_;
    QPoint dragPoint_;
    bool dragging_ = false;
    bool contextMenuOpen_ = false;
    bool readOnly_ = false;
};

}  // namespace norvane::ui
