// Editing through the keyboard, the mouse, the clipboard and the input method, checked on
// the document's exact units.
#include "engine/line_fixer.h"
#include "pane_fixture.h"
#include "ui/pane/text_conversion.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <functional>

namespace norvane::ui::test {
namespace {

using Editing = PaneTest;

TEST_F(Editing, TypingAndEnterInsertTextAndCrLf) {
    QSignalSpy edited(pane.get(), &TextPane::textEdited);
    type("ab");
    key(Qt::Key_Return);
    type("c");
    key(Qt::Key_Enter);
    // Alt and Ctrl with a letter are commands for the window, not text.
    QTest::keyClick(pane.get(), Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(pane.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "ab\r\nc\r\n");
    EXPECT_EQ(pane->document().lineCount(), 3u);
    EXPECT_EQ(pane->caretPosition(), 7u);
    EXPECT_EQ(edited.count(), 5);
}

TEST_F(Editing, TabMovesTheFocusAndCtrlTabTypesATab) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QLineEdit;
    auto* windowPane = new TextPane;
    auto* after = new QLineEdit;
    layout->addWidget(before);
    layout->addWidget(windowPane);
    layout->addWidget(after);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    windowPane->setFocus();
    QTest::keyClick(windowPane, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(windowPane->text(), "\t");
    QTest::keyClick(windowPane, Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
    windowPane->setFocus();
    QTest::keyClick(windowPane, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(before->hasFocus());
    EXPECT_EQ(windowPane->text(), "\t");
}

TEST_F(Editing, BackspaceAndDeleteTakeACrLfPairAsOneBreak) {
    load("ab\r\ncd");
    // At the start of the second line, Backspace joins the lines.
    pane->setSelStart(4);
    key(Qt::Key_Backspace);
    EXPECT_EQ(pane->text(), "abcd");
    EXPECT_EQ(pane->caretPosition(), 2u);
    // At the end of the first line, Delete joins them.
    load("ab\r\ncd");
    key(Qt::Key_End);
    key(Qt::Key_Delete);
    EXPECT_EQ(pane->text(), "abcd");
    // A caret placed between CR and LF still removes the whole pair, either way.
    load("ab\r\ncd");
    pane->setSelStart(3);
    key(Qt::Key_Backspace);
    EXPECT_EQ(pane->text(), "abcd");
    load("ab\r\ncd");
    pane->setSelStart(3);
    key(Qt::Key_Delete);
    EXPECT_EQ(pane->text(), "abcd");
    // Bare CR and LF are characters of their own.
    load("a\n\rb");
    pane->setSelStart(1);
    key(Qt::Key_Delete);
    EXPECT_EQ(pane->text(), "a\rb");
    key(Qt::Key_Right);
    key(Qt::Key_Backspace);
    EXPECT_EQ(pane->text(), "ab");
}

TEST_F(Editing, ArrowsAndDeletionNeverSplitACharacter) {
    load("a\xD0\xB6\xE2\x82\xAC\xF0\x9F\x98\x80z");  // a, zhe, euro sign, emoji, z
    key(Qt::Key_End);
    key(Qt::Key_Left);
    key(Qt::Key_Left);
    EXPECT_EQ(pane->caretPosition(), 6u);
    key(Qt::Key_Backspace);
    EXPECT_EQ(pane->text(), "a\xD0\xB6\xF0\x9F\x98\x80z");
    key(Qt::Key_Delete);
    EXPECT_EQ(pane->text(), "a\xD0\xB6z");
    key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(pane->selText(), "\xD0\xB6");
    // Units that form no character are stepped over one at a time.
    load("\xE2\x82z");
    key(Qt::Key_Right);
    EXPECT_EQ(pane->caretPosition(), 1u);
    // A character and its combining accents take one place: one step, one Backspace.
    load("xe\xCC\x81\xCC\xA3y");  // x, e with an acute accent and a dot below, y
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(pane->caretPosition(), 6u);
    key(Qt::Key_Left);
    EXPECT_EQ(pane->caretPosition(), 1u);
    key(Qt::Key_Right);
    key(Qt::Key_Backspace);
    EXPECT_EQ(pane->text(), "xy");
}

TEST_F(Editing, CharactersTheFileEncodingCannotHoldAreRefused) {
    load("ab", {TextEncoding::Legacy});
    key(Qt::Key_End);
    typeUnicode(QString::fromUtf8("\xE2\x82\xAC"));  // the euro sign is byte 0x80 in Windows-1252
    EXPECT_EQ(pane->text(), "ab\x80");
    typeUnicode(QString::fromUtf8("\xD0\xB6"));  // zhe is not in Windows-1252
    EXPECT_EQ(pane->text(), "ab\x80");
    QGuiApplication::clipboard()->setText(QString::fromUtf8("x\xD0\xB6y"));
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "ab\x80");
    // The same paste into a UTF-8 document is taken as it is.
    load("");
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "x\xD0\xB6y");
}

TEST_F(Editing, InputMethodCommitsAreTypedAndCheckedLikeKeys) {
    load("ab");
    pane->setSelStart(1);
    QInputMethodEvent compose;
    compose.setCommitString(QString::fromUtf8("\xC3\xA9"));
    QApplication::sendEvent(pane.get(), &compose);
    EXPECT_EQ(pane->text(), "a\xC3\xA9" "b");
    load("ab", {TextEncoding::Legacy});
    QInputMethodEvent refused;
    refused.setCommitString(QString::fromUtf8("\xD0\xB6"));
    QApplication::sendEvent(pane.get(), &refused);
    EXPECT_EQ(pane->text(), "ab");
    QInputMethodEvent accepted;
    accepted.setCommitString(QString::fromUtf8("\xC3\xA9"));
    QApplication::sendEvent(pane.get(), &accepted);
    EXPECT_EQ(pane->text(), "\xE9" "ab");
}

TEST_F(Editing, ShiftArrowsAndMouseSelect) {
    load("one two\r\nthree");
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(pane->selText(), "on");
    key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(pane->selText(), "one two");
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(pane->selText(), "one two\r\nthree");
    type("X");
    EXPECT_EQ(pane->text(), "X");

    load("one two\r\nthree");
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, boundaryPoint(0, 4));
    EXPECT_EQ(pane->caretPosition(), 4u);
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, Qt::ShiftModifier, boundaryPoint(1, 2));
    EXPECT_EQ(pane->selText(), "two\r\nth");
    QTest::mousePress(pane->viewport(), Qt::LeftButton, {}, boundaryPoint(1, 1));
    QMouseEvent drag(QEvent::MouseMove, boundaryPoint(1, 4), pane->viewport()->mapToGlobal(boundaryPoint(1, 4)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane->viewport(), &drag);
    QTest::mouseRelease(pane->viewport(), Qt::LeftButton, {}, boundaryPoint(1, 4));
    EXPECT_EQ(pane->selText(), "hre");
    QTest::mouseDClick(pane->viewport(), Qt::LeftButton, {}, boundaryPoint(0, 5));
    EXPECT_EQ(pane->selText(), "two");
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pane->selStart(), 0u);
    EXPECT_EQ(pane->selLength(), pane->document().size());
}

TEST_F(Editing, KeysMoveByLineWordPageAndDocument) {
    load("alpha beta, gamma\r\n\tx\r\nshort\r\n" + std::string(40, 'y') + "\r\nlast");
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(pane->caretPosition(), 6u);  // start of "beta"
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(pane->caretPosition(), 10u);  // the comma
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(pane->caretPosition(), 12u);  // start of "gamma"
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(pane->caretPosition(), 10u);
    key(Qt::Key_End);
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(pane->caretPosition(), 19u);  // a line break is a stop of its own
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(pane->caretPosition(), 17u);
    // Up and Down keep the column they started from, across a tab and a short line.
    pane->setSelStart(9);  // column 9, in "beta"
    key(Qt::Key_Down);
    EXPECT_EQ(pane->caretPosition(), 21u);  // behind the tab's 8 cells and the x
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(pane->caretPosition(), pane->document().lineStart(3) + 9);
    key(Qt::Key_Home);
    EXPECT_EQ(pane->caretPosition(), pane->document().lineStart(3));
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(pane->caretPosition(), pane->document().size());
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(pane->caretPosition(), 0u);
}

TEST_F(Editing, PageDownMovesTheCaretAndTheViewByAPage) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\r\n";
    load(text);
    const std::size_t page = pane->visibleLines();
    ASSERT_GT(page, 2u);
    key(Qt::Key_PageDown);
    EXPECT_EQ(pane->document().lineOf(pane->caretPosition()), page);
    EXPECT_EQ(pane->firstVisibleLine(), page);
    key(Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(pane->caretPosition(), 0u);
    EXPECT_EQ(pane->selLength(), pane->document().lineStart(page));
}

TEST_F(Editing, ClipboardTextIsPlainTextWithThePlatformsLineBreaks) {
    load("a\r\nb\nc\xD0\xB6");
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_C, Qt::ControlModifier);
    // Linux and macOS take LF for a line break; a bare LF stays one.
    const QString lineBreak = ClipboardLineBreaks == LineBreaks::AsLineFeed ? "\n" : "\r\n";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "a" + lineBreak + QString::fromUtf8("b\nc\xD0\xB6"));
    // Pasted line breaks of every kind become CR LF.
    QGuiApplication::clipboard()->setText("1\n2\r3\r\n4");
    key(Qt::Key_End, Qt::ControlModifier);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "a\r\nb\nc\xD0\xB6" "1\r\n2\r\n3\r\n4");
    // Cut takes the selection out and puts it on the clipboard.
    pane->setSelStart(1);
    pane->setSelLength(2);
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "ab\nc\xD0\xB6" "1\r\n2\r\n3\r\n4");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), lineBreak);
}

TEST_F(Editing, TheContextMenuOffersTheEditCommands) {
    load("cut here");
    pane->setSelStart(4);
    pane->setSelLength(4);
    QGuiApplication::clipboard()->clear();
    QStringList offered, enabled;
    // The menu runs modally: look at it and pick "Cut" once it is open.
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            const QString name = action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
            offered << name;
            if (action->isEnabled()) enabled << name;
            if (name == "Cut") action->trigger();
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, boundaryPoint(0, 2), pane->viewport()->mapToGlobal(boundaryPoint(0, 2)));
    QApplication::sendEvent(pane->viewport(), &event);
    EXPECT_EQ(offered, QStringList({"Undo", "Cut", "Copy", "Paste", "Delete", "Select All"}));
    EXPECT_EQ(enabled, QStringList({"Cut", "Copy", "Delete", "Select All"}));
    EXPECT_EQ(pane->text(), "cut ");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "here");
}

TEST_F(Editing, UndoTakesBackTheLastEditAndASecondUndoRedoesIt) {
    QSignalSpy edited(pane.get(), &TextPane::textEdited);
    load("start ");
    key(Qt::Key_End);
    type("abc");
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "start ");
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "start abc");
    EXPECT_EQ(pane->selText(), "abc");
    // A run of Backspaces is one edit; moving the caret ends a run.
    key(Qt::Key_End);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    key(Qt::Key_Left);
    key(Qt::Key_Backspace);
    EXPECT_EQ(pane->text(), "starta");
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "start a");
    // Pasting over a selection comes back whole.
    QGuiApplication::clipboard()->setText("P");
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "P");
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "start a");
    EXPECT_EQ(pane->selText(), "start a");
    EXPECT_EQ(edited.count(), 11);
    // Text set through the contract drops the record: nothing to undo into.
    pane->setText("new");
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pane->text(), "new");
}

// The program's own selecting and replacing by units, as the fixer and the window use them:
// setting the text shows its start; a replacement gives the text and the lines shown, and
// leaves the caret behind it, in view. None of it counts as the user's edit.
TEST_F(Editing, ReplacingTheSelectionByUnitsShowsTheNewTextAndLines) {
    QSignalSpy edited(pane.get(), &TextPane::textEdited);
    std::string longText;
    for (int i = 0; i < 200; ++i) longText += std::string(150, static_cast<char>('a' + i % 26)) + "\r\n";
    const struct {
        std::string_view text;
        std::size_t start, length;
        std::string_view selected, inserted, after;
        std::size_t caret, lines;
    } cases[] = {
        {"a\nb", 1, 1, "\n", "\r\n", "a\r\nb", 3, 2},        // a bare LF becomes a line end
        {"a\r\nb", 1, 1, "\r", "", "a\nb", 1, 1},              // without its CR the pair joins two lines
        {"a\rb", 2, 0, "", "\n", "a\r\nb", 3, 2},              // an LF behind a CR ends a line
        {"hello", 99, 1, "", "!", "hello!", 6, 1},             // a start past the end is the end
        {"hello", 2, 99, "llo", "y", "hey", 3, 1},             // a length past the end stops there
        {"", 0, 0, "", "x\r\ny\r\nz", "x\r\ny\r\nz", 7, 3},
        {"x\r\n\r\ny", 1, 4, "\r\n\r\n", "", "xy", 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text).substr(0, 20)) + " at " + std::to_string(c.start));
        pane->setText(longText + std::string(150, 'z'));  // scrolled to its end, down and right
        key(Qt::Key_End, Qt::ControlModifier);
        ASSERT_GT(pane->firstVisibleLine(), 0u);
        ASSERT_GT(pane->firstVisibleColumn(), 0u);
        pane->setText(c.text);
        EXPECT_EQ(pane->firstVisibleLine(), 0u);
        EXPECT_EQ(pane->firstVisibleColumn(), 0u);
        EXPECT_EQ(pane->caretPosition(), 0u);
        pane->setSelStart(c.start);
        pane->setSelLength(c.length);
        EXPECT_EQ(pane->selText(), c.selected);
        pane->setSelText(c.inserted);
        EXPECT_EQ(pane->text(), c.after);
        EXPECT_EQ(pane->document().lineCount(), c.lines);
        EXPECT_EQ(pane->caretPosition(), c.caret);
        EXPECT_EQ(pane->selLength(), 0u);
        EXPECT_TRUE(pane->viewport()->rect().intersects(pane->cellRect(c.caret).toAlignedRect()));
    }
    EXPECT_EQ(edited.count(), 0);
}

TEST_F(Editing, TheSelectionOperationsWorkLikeATextBox) {
    pane->setText("hello world");
    EXPECT_EQ(pane->selStart(), 0u);
    pane->setSelStart(6);
    pane->setSelLength(5);
    EXPECT_EQ(pane->selText(), "world");
    pane->setSelText("there!");
    EXPECT_EQ(pane->text(), "hello there!");
    EXPECT_EQ(pane->selStart(), 12u);
    EXPECT_EQ(pane->selLength(), 0u);
    pane->setSelStart(5);
    pane->setSelText(",");  // nothing selected: inserts at the caret
    pane->setSelStart(0);
    pane->setSelLength(7);
    pane->setSelText("");  // deletes the selection
    EXPECT_EQ(pane->text(), "there!");
    pane->setSelStart(2);
    pane->setSelLength(100);
    EXPECT_EQ(pane->selText(), "ere!");
    pane->setSelStart(3);  // moving the caret drops the selection
    EXPECT_EQ(pane->selLength(), 0u);
    pane->setSelStart(100);
    pane->setSelLength(1);
    EXPECT_EQ(pane->selStart(), 6u);
    EXPECT_EQ(pane->selText(), "");
    pane->setSelStart(2);
    pane->setSelLength(4);
    pane->setSelText("");  // the selection ends with the text it shortened
    EXPECT_EQ(pane->selStart(), 2u);
    EXPECT_EQ(pane->selLength(), 0u);
    EXPECT_EQ(pane->text(), "th");
}

TEST_F(Editing, AChangedDocumentIsShownAfresh) {
    load("a\nb\nc\nd");
    pane->changeDocument([](Document& document) { fixLineEnds(document); });
    EXPECT_EQ(pane->text(), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(pane->document().lineCount(), 4u);
    EXPECT_EQ(pane->caretPosition(), 0u);
    EXPECT_FALSE(pane->canUndo());
    type("x");
    EXPECT_EQ(pane->text(), "xa\r\nb\r\nc\r\nd");
}

// While the window loads or saves, the pane is read-only: the program's own changes of the
// document are refused as the user's are, and leave the selection where it was.
TEST_F(Editing, AReadOnlyPaneRefusesEveryChangeOfItsDocument) {
    const struct {
        const char* change;
        std::function<bool()> run;
    } changes[] = {
        {"setText", [&] { return pane->setText("new"); }},
        {"setSelText", [&] { return pane->setSelText("new"); }},
        {"setDocument", [&] { return pane->setDocument(Document("new")).text() != "new"; }},
        {"changeDocument", [&] { return pane->changeDocument([](Document& document) { fixLineEnds(document); }); }},
    };
    for (const auto& [change, run] : changes) {
        SCOPED_TRACE(change);
        load("a\nb");
        pane->setSelStart(1);
        pane->setSelLength(1);
        pane->setReadOnly(true);
        EXPECT_FALSE(run());
        EXPECT_EQ(pane->text(), "a\nb");
        EXPECT_EQ(pane->selText(), "\n");
        pane->setReadOnly(false);
        EXPECT_TRUE(run());
        EXPECT_NE(pane->text(), "a\nb");
    }
}

}  // namespace
}  // namespace norvane::ui::test
