#pragma once

#include "ui/controls/message_sink.h"

#include <QApplication>

#include <functional>
#include <memory>

namespace norvane::ui {

// The application of the window program. No exception leaves an event handler: one that
// reaches the event loop is shown to the user, and the program goes on, instead of ending
// by Qt's abort.
class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Delivers an event through `deliver`; an exception it throws is handed to `show` as a
    // message's text and detail, and the event counts as not handled.
    static bool deliverShowingFailures(const std::function<bool()>& deliver,
                                       const std::function<void(const QString&, const QString&)>& show);

private:
    std::unique_ptr<MessageSink> messages_;
    bool showing_ = false;  // one message at a time, however many events fail meanwhile
};

}  // namespace norvane::ui
