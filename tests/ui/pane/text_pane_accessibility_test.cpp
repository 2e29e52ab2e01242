// The pane as assistive technology sees it.
#include "pane_fixture.h"

#include <QAccessible>
#include <QSignalSpy>

#include <functional>
#include <string>

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

TEST_F(Accessibility, AssistiveTechnologyEditsTheTextAsTheKeyboardDoesAndNotWhileReadOnly) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const struct {
        const char* edit;
        std::function<void(QAccessibleEditableTextInterface&)> run;
        std::string editable;
    } edits[] = {
        {"insert", [&](QAccessibleEditableTextInterface& text) { text.insertText(1, emoji); },
         "a\xF0\x9F\x98\x80\xD0\xB6\r\nz"},
        {"delete", [](QAccessibleEditableTextInterface& text) { text.deleteText(1, 4); }, "az"},
        {"replace", [](QAccessibleEditableTextInterface& text) { text.replaceText(0, 2, QStringLiteral("xy")); },
         "xy\r\nz"},
    };
    for (const auto& [edit, run, editable] : edits) {
        for (const bool readOnly : {false, true}) {
            SCOPED_TRACE(std::string(edit) + (readOnly ? ", read-only" : ""));
            load("a\xD0\xB6\r\nz");
            pane->setReadOnly(readOnly);
            QSignalSpy edited(pane.get(), &TextPane::textEdited);
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(pane.get());
            ASSERT_NE(accessible, nullptr);
            QAccessibleEditableTextInterface* text = accessible->editableTextInterface();
            ASSERT_NE(text, nullptr);
            run(*text);
            EXPECT_EQ(pane->text(), readOnly ? "a\xD0\xB6\r\nz" : editable);
            EXPECT_EQ(edited.size(), readOnly ? 0 : 1);
            // As a keyboard edit, it can be undone.
            pane->setReadOnly(false);
            key(Qt::Key_Z, Qt::ControlModifier);
            EXPECT_EQ(pane->text(), "a\xD0\xB6\r\nz");
        }
    }
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
