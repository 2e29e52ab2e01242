// What the pane shows: display lines, box marks, tabs, scroll ranges and the selection,
// checked on the painted pixels and on the scroll bars.
#include "pane_fixture.h"

#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace norvane::ui::test {
namespace {

class Display : public PaneTest {
protected:
    QImage paint() const { return pane->viewport()->grab().toImage(); }

    // Pixels of a cell range that differ clearly from the background: drawn text or marks.
    int inkIn(const QImage& image, int row, int firstColumn, int columns) const {
        const QSizeF cell = pane->cellSize();
        const double ratio = image.devicePixelRatio();
        const QColor base = pane->palette().color(QPalette::Active, QPalette::Base);
        int ink = 0;
        for (int y = int(row * cell.height() * ratio); y < int((row + 1) * cell.height() * ratio); ++y)
            for (int x = int(firstColumn * cell.width() * ratio); x < int((firstColumn + columns) * cell.width() * ratio); ++x) {
                if (x >= image.width() || y >= image.height()) continue;
                const QColor c = image.pixelColor(x, y);
                ink += std::abs(c.red() - base.red()) + std::abs(c.green() - base.green()) + std::abs(c.blue() - base.blue()) > 200;
            }
        return ink;
    }
    int inkInRow(const QImage& image, int row) const { return inkIn(image, row, 0, 40); }

    int highlighted(const QImage& image) const {
        const QColor highlight = pane->palette().color(QPalette::Active, QPalette::Highlight);
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == highlight;
        return count;
    }
};

TEST_F(Display, BareLineFeedsStayInsideOneLineAsBoxMarks) {
    load("one\ntwo\nthree");
    EXPECT_EQ(pane->document().lineCount(), 1u);
    EXPECT_EQ(pane->verticalScrollBar()->maximum(), 0);
    QImage image = paint();
    EXPECT_GT(inkInRow(image, 0), 0);
    EXPECT_EQ(inkInRow(image, 1), 0);
    EXPECT_GT(inkIn(image, 0, 3, 1), 0);  // the box of the first LF
    // The same text with a space in that place leaves the cell empty.
    load("one two\nthree");
    EXPECT_EQ(inkIn(paint(), 0, 3, 1), 0);

    // Typing Enter in front of the first LF makes a CR LF pair: two display lines.
    load("one\ntwo\nthree");
    pane->setSelStart(3);
    key(Qt::Key_Return);
    EXPECT_EQ(pane->text(), "one\r\n\ntwo\nthree");
    EXPECT_EQ(pane->document().lineCount(), 2u);
    image = paint();
    EXPECT_GT(inkInRow(image, 1), 0);
    EXPECT_GT(inkIn(image, 1, 0, 1), 0);  // the bare LF now opens the second line
    EXPECT_EQ(inkInRow(image, 2), 0);
}

TEST_F(Display, CrLfStartsANewLine) {
    load("one\r\ntwo\r\nthree");
    EXPECT_EQ(pane->document().lineCount(), 3u);
    const QImage image = paint();
    for (int row = 0; row < 3; ++row) EXPECT_GT(inkInRow(image, row), 0) << "row " << row;
    EXPECT_EQ(inkInRow(image, 3), 0);
    // The CR LF itself takes no cell: nothing is drawn behind "one".
    EXPECT_EQ(inkIn(image, 0, 3, 3), 0);
}

TEST_F(Display, ControlCharactersAreBoxesAndTabsRunToTheNextStop) {
    load(std::string("a\tb\x01\r\x7F", 6) + std::string(1, '\0') + "\xC2\x85" "c");
    const QImage image = paint();
    EXPECT_GT(inkIn(image, 0, 0, 1), 0);
    EXPECT_EQ(inkIn(image, 0, 1, 7), 0);  // the tab's cells
    for (int column = 8; column <= 14; ++column) EXPECT_GT(inkIn(image, 0, column, 1), 0) << "column " << column;
    EXPECT_EQ(pane->columnOf(pane->document().size()), 15u);
}

// The pixels of one cell of the first row, compared against other cells' pixels.
QImage cellImage(const QImage& image, const QSizeF& cell, int column) {
    const double ratio = image.devicePixelRatio();
    return image.copy(QRectF(column * cell.width() * ratio, 0, cell.width() * ratio, cell.height() * ratio).toRect());
}

TEST_F(Display, TheLineFeedMarkMeansABareLineFeedOnly) {
    // Each invisible character between bare LFs: one cell with a mark of its own, never the LF's.
    const struct {
        const char* what;
        std::string units;
    } invisibles[] = {
        {"zero-width joiner", "\xE2\x80\x8D"},
        {"zero-width space", "\xE2\x80\x8B"},
        {"right-to-left mark", "\xE2\x80\x8F"},
        {"byte-order mark inside the text", "\xEF\xBB\xBF"},
        {"bare CR", "\r"},
        {"NUL", std::string(1, '\0')},
        {"escape", "\x1B"},
        {"DEL", "\x7F"},
        {"C1 next line", "\xC2\x85"},
        {"line separator", "\xE2\x80\xA8"},
    };
    for (const auto& [what, units] : invisibles) {
        SCOPED_TRACE(what);
        load("\n" + units + "a\n");  // an "a" keeps a CR from pairing with the LF behind it
        EXPECT_EQ(pane->columnOf(pane->document().size()), 4u);
        pane->setSelStart(pane->document().size());  // the caret out of the cells compared
        const QImage image = paint();
        const QImage lineFeed = cellImage(image, pane->cellSize(), 0);
        const QImage invisible = cellImage(image, pane->cellSize(), 1);
        EXPECT_GT(inkIn(image, 0, 1, 1), 0);
        EXPECT_NE(invisible, lineFeed);
        EXPECT_EQ(cellImage(image, pane->cellSize(), 3), lineFeed);
    }
}

TEST_F(Display, TextBeingComposedShowsAtTheCaretAndTheCandidatesGoWhereItsCursorIs) {
    load("ab");
    pane->setSelStart(1);
    // Two kana (two cells each) being composed, the input method's cursor behind the first.
    QInputMethodEvent composing(QString::fromUtf8("\xE3\x81\x8B\xE3\x81\xAA"), {{QInputMethodEvent::Cursor, 1, 1, {}}});
    QApplication::sendEvent(pane.get(), &composing);
    EXPECT_EQ(pane->text(), "ab");
    QImage image = paint();
    EXPECT_GT(inkIn(image, 0, 3, 2), 0);  // the second kana, behind the caret's cell and the first
    EXPECT_EQ(inkIn(image, 0, 5, 5), 0);
    const QRectF cursor = static_cast<QWidget*>(pane.get())->inputMethodQuery(Qt::ImCursorRectangle).toRectF();
    EXPECT_DOUBLE_EQ(cursor.left(), pane->viewport()->x() + pane->cellRect(1).left() + 2 * pane->cellSize().width());
    // Committed, it is typed at the caret and nothing is left over the cells behind it.
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("\xE3\x81\x8B\xE3\x81\xAA"));
    QApplication::sendEvent(pane.get(), &commit);
    EXPECT_EQ(pane->text(), "a\xE3\x81\x8B\xE3\x81\xAA" "b");
    image = paint();
    EXPECT_GT(inkIn(image, 0, 5, 1), 0);  // the b, pushed behind the kana
    EXPECT_EQ(inkIn(image, 0, 6, 5), 0);
}

TEST_F(Display, TheEndOfTheLongestLineCanBeScrolledTo) {
    for (const std::size_t length : {std::size_t{300}, std::size_t{100'000}}) {
        // Tabs make the line wider in cells than in units; the last character is a Z.
        std::string line;
        while (line.size() < length) line += "word\tx\n";
        line += "Z";
        load("short\r\n" + line + "\r\nend");
        pane->setSelStart(pane->document().lineStart(1));
        key(Qt::Key_End);
        const std::uint64_t lastColumn = pane->columnOf(pane->document().lineEnd(1) - 1);
        const QScrollBar* bar = pane->horizontalScrollBar();
        EXPECT_EQ(static_cast<std::uint64_t>(bar->maximum()), lastColumn + 2 - pane->visibleColumns()) << length;
        EXPECT_EQ(bar->value(), bar->maximum());
        EXPECT_GE(lastColumn, pane->firstVisibleColumn());
        EXPECT_LT(lastColumn, pane->firstVisibleColumn() + pane->visibleColumns());
        EXPECT_GT(inkIn(paint(), 1, static_cast<int>(lastColumn - pane->firstVisibleColumn()), 1), 0);
        // Back home, then the scroll bar alone reaches the same place.
        key(Qt::Key_Home, Qt::ControlModifier);
        EXPECT_EQ(pane->firstVisibleColumn(), 0u);
        pane->horizontalScrollBar()->setValue(pane->horizontalScrollBar()->maximum());
        EXPECT_LT(lastColumn, pane->firstVisibleColumn() + pane->visibleColumns());
        EXPECT_GE(lastColumn, pane->firstVisibleColumn());
    }
}

TEST_F(Display, OnceTheEndOfALongLineIsShownTheScrollRangeEndsThere) {
    // Lines with no line break whose characters take more than one unit each, so that the
    // line is narrower in cells than in units; long enough to be indexed.
    const struct {
        const char* what;
        std::string character;
    } lines[] = {
        {"Cyrillic, two units a cell", "\xD0\xB6"},
        {"CJK, three units for two cells", "\xE4\xB8\xAD"},
        {"a letter and a combining mark, three units a cell", "e\xCC\x81"},
    };
    for (const auto& [what, character] : lines) {
        for (const bool wholeText : {false, true}) {
            SCOPED_TRACE(std::string(what) + (wholeText ? ", Ctrl+End" : ", End"));
            std::string line;
            while (line.size() < 2'000'000) line += character;
            load(line + "Z");
            key(Qt::Key_End, wholeText ? Qt::ControlModifier : Qt::NoModifier);
            const std::uint64_t end = pane->columnOf(pane->document().size());
            const QScrollBar* bar = pane->horizontalScrollBar();
            // The caret behind the Z stands in the last column shown, the Z just before it.
            EXPECT_EQ(bar->value(), bar->maximum());
            EXPECT_EQ(pane->firstVisibleColumn() + pane->visibleColumns(), end + 1);
            EXPECT_GT(inkIn(paint(), 0, static_cast<int>(pane->visibleColumns()) - 2, 1), 0);
        }
    }
}

TEST_F(Display, AWideCharacterAtTheRightEdgeIsScrolledIntoViewWhole) {
    // An ideograph whose first cell is the last one shown.
    const std::size_t before = pane->visibleColumns() - 1;
    load(std::string(before, 'a') + "\xE4\xB8\xAD" "b");
    pane->setSelStart(before - 1);
    key(Qt::Key_Right);
    EXPECT_EQ(pane->caretPosition(), before);
    EXPECT_LT(pane->columnOf(before) + 1, pane->firstVisibleColumn() + pane->visibleColumns());
    EXPECT_GT(inkIn(paint(), 0, static_cast<int>(before - pane->firstVisibleColumn()), 2), 0);
}

TEST_F(Display, TheVerticalScrollBarReachesTheLastLine) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "line\r\n";
    text += "last";
    load(text);
    QScrollBar* bar = pane->verticalScrollBar();
    EXPECT_EQ(static_cast<std::size_t>(bar->maximum()), 1001 - pane->visibleLines());
    EXPECT_EQ(static_cast<std::size_t>(bar->pageStep()), pane->visibleLines());
    bar->setValue(bar->maximum());
    EXPECT_EQ(pane->firstVisibleLine() + pane->visibleLines(), 1001u);
    EXPECT_GT(inkInRow(paint(), static_cast<int>(pane->visibleLines()) - 1), 0);
}

TEST_F(Display, TheSelectionShowsOnlyWhileThePaneHasTheFocus) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* other = new QLineEdit;
    layout->addWidget(other);
    layout->addWidget(pane.get());
    // The fixture owns the pane: take it out of the window before the window goes.
    const struct TakeBack {
        TextPane* pane;
        ~TakeBack() { pane->setParent(nullptr); }
    } takeBack{pane.get()};
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    load("select me");
    pane->setFocus();
    key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_GT(highlighted(paint()), 0);
    other->setFocus();
    EXPECT_EQ(highlighted(paint()), 0);
    EXPECT_EQ(pane->selText(), "select me");
    pane->setFocus();
    EXPECT_GT(highlighted(paint()), 0);
}

}  // namespace
}  // namespace norvane::ui::test
