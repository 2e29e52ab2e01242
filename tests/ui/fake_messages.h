#pragma once

#include "ui/controls/message_sink.h"

#include <QStringList>

namespace norvane::ui::testing {

// Stands in for the message box: keeps the text and the detail of every message, in order.
class FakeMessages final : public MessageSink {
public:
    QStringList texts, details;
    void showMessage(const QString& text, const QString& detail = {}) override {
        texts << text;
        details << detail;
    }
};

}  // namespace norvane::ui::testing
