#pragma once

#include <QObject>

class QAbstractButton;

namespace norvane::ui {

// Makes Enter and Return press a button while it has the focus, as Space does.
class EnterPressesButton final : public QObject {
public:
    static void install(QAbstractButton& button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

}  // namespace norvane::ui
