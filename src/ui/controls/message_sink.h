#pragma once

#include <QString>

namespace norvane::ui {

// Shows the program's messages: one text, an OK button, no icon, titled with the program's
// name. Windows are handed one, so tests can read what a user would be told.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // `detail` says what went wrong underneath, where known; it is shown below the text.
    virtual void showMessage(const QString& text, const QString& detail = {}) = 0;
};

// Shows each message in a modal message box centred on the window the user is acting in,
// titled with the application's display name, wide enough for the window manager to show
// that title whole, with paths broken only at their separators.
class MessageBoxSink final : public MessageSink {
public:
    void showMessage(const QString& text, const QString& detail = {}) override;
};

}  // namespace norvane::ui
