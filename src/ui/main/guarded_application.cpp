#include "ui/main/guarded_application.h"

#include "ui/controls/utf8_text.h"

#include <exception>
#include <new>
#include <utility>

namespace norvane::ui {

GuardedApplication::GuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv), messages_(std::make_unique<MessageBoxSink>()) {}

// The message is shown once the failed event is over: a modal box inside a paint or a
// mouse event would run the event loop from within it.
bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    return deliverShowingFailures([&] { return QApplication::notify(receiver, event); },
                                  [this](const QString& text, const QString& detail) {
                                      if (std::exchange(showing_, true)) return;
                                      QMetaObject::invokeMethod(
                                          this,
                                          [this, text, detail] {
                                              messages_->showMessage(text, detail);
                                              showing_ = false;
                                          },
                                          Qt::QueuedConnection);
                                  });
}

bool GuardedApplication::deliverShowingFailures(const std::function<bool()>& deliver,
                                                const std::function<void(const QString&, const QString&)>& show) {
    try {
        return deliver();
    } catch (const std::bad_alloc&) {
        show(QStringLiteral("Not enough memory."), QStringLiteral("The last command could not be finished."));
    } catch (const std::exception& error) {
        show(QStringLiteral("The last command could not be finished."), toQString(error.what()));
    }
    return false;
}

}  // namespace norvane::ui
