// The pane as assistive technology sees it.
#include "pane_fixture.h"

#include <QAccessible>

namespace norvane::ui::test {
namespace {

using Accessibility = PaneTest;

TEST_F(Accessibility, ThePaneIsAnEditableTextWithItsCharactersAndCaret) {
    load("a\xD0\xB6\r\n\xF0\x9F\x98\x80z");  // a, zhe, CR LF, emoji (two UTF-16 units), z
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(pane.get());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Text");
    EXPECT_TRUE(accessible->state().editable);
    EXPECT_TRUE(accessible->state().multiLine);
    QAccessibleTextInterface* text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    const QString expected = QString::fromUtf8("a\xD0\xB6\r\n\xF0\x9F\x98\x80z");
    EXPECT_EQ(text->characterCount(), expected.size());
    EXPECT_EQ(text->text(0, text->characterCount()), expected);
    EXPECT_EQ(accessible->text(QAccessible::Value), expected);

    // A character's rectangle is its cells as drawn: the emoji takes two.
    const QRect emoji = text->characterRect(4);
    EXPECT_EQ(emoji.topLeft(), pane->viewport()->mapToGlobal(pane->cellRect(5).topLeft().toPoint()));
    EXPECT_EQ(emoji.width(), qRound(2 * pane->cellSize().width()));

    // Offsets count UTF-16 units; the caret is reported and set through them.
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(text->cursorPosition(), expected.size());
    text->setCursorPosition(4);
    EXPECT_EQ(pane->caretPosition(), 5u);  // behind the CR LF, in units
    text->setSelection(0, 1, 6);
    EXPECT_EQ(pane->selText(), "\xD0\xB6\r\n\xF0\x9F\x98\x80");
    int start = 0, end = 0;
    text->selection(0, &start, &end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 6);
    EXPECT_EQ(text->selectionCount(), 1);
}

TEST_F(Accessibility, ALargeDocumentIsHandedOutAsAWindowAroundTheCaret) {
    std::string big;
    for (int i = 0; big.size() < 1'000'000; ++i) big += "line " + std::to_string(i) + "\r\n";
    load(big);
    pane->setSelStart(600'000);
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(pane.get())->textInterface();
    const int count = text->characterCount();
    EXPECT_GT(count, 0);
    EXPECT_LE(count, 64 * 1024);
    // The window holds the caret, and its text is the document's around it.
    const int caret = text->cursorPosition();
    ASSERT_GT(caret, 10);
    ASSERT_LT(caret, count - 10);
    EXPECT_EQ(text->text(caret - 10, caret + 10).toStdString(), big.substr(600'000 - 10, 20));
}

}  // namespace
}  // namespace norvane::ui::test
