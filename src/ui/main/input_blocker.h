#pragma once

#include <QObject>

class QWidget;

namespace norvane::ui {

// While it lives, keyboard and mouse input to a window and its children is dropped, so
// that a long command can let the window repaint without another command starting.
class InputBlocker final : public QObject {
public:
    explicit InputBlocker(QWidget& window);
    ~InputBlocker() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
};

}  // namespace norvane::ui
