#pragma once

#include <QString>

class QWidget;

namespace norvane::ui {

// Shows the program's messages: one text, an OK button, no icon, titled with the program's
// name. Windows are handed one, so tests can read what a user would be told.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // `detail` says what went wrong underneath, where known; it is shown below the text.
    virtual void showMessage(const QString& text, const QString& detail = {}) = 0;
};

// Shows each message in a modal message box owned by `owner`.
class MessageBoxSink final : public MessageSink {
public:
    explicit MessageBoxSink(QWidget* owner) : owner_(owner) {}
    void showMessage(const QString& text, const QString& detail = {}) override;

private:
    QWidget* owner_;
};

}  // namespace norvane::ui
