#pragma once

#include "engine/document.h"
#include "ui/pane/text_pane.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

namespace norvane::ui::test {

// A shown, focused pane in a window of its own, 60 by 10 cells of text or so.
class PaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        pane = std::make_unique<TextPane>();
        pane->resize(480, 220);
        pane->show();
        pane->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(pane.get()));
        pane->setFocus();
    }

    void load(std::string_view text, FileFormat format = {}) { pane->setDocument(Document(text, format)); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(pane.get(), key, modifiers);
    }
    void type(const QString& text) { QTest::keyClicks(pane.get(), text); }
    // Types text that no key code names, as a keyboard layout or a dead key delivers it.
    void typeUnicode(const QString& text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(pane.get(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(pane.get(), &release);
    }
    // A viewport point nearest to the boundary before a line's column: a click there puts
    // the caret in front of the character in that column.
    QPoint boundaryPoint(std::size_t line, std::uint64_t column) const {
        const QSizeF cell = pane->cellSize();
        return QPointF((static_cast<double>(column - pane->firstVisibleColumn()) + 0.25) * cell.width(),
                       (static_cast<double>(line - pane->firstVisibleLine()) + 0.5) * cell.height())
            .toPoint();
    }

    std::unique_ptr<TextPane> pane;
};

}  // namespace norvane::ui::test
