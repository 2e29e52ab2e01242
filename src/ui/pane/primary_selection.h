#pragma once

#include <QString>

#include <functional>

class QObject;

namespace norvane::ui {

// Offers text as the X primary selection, which other programs paste with a middle click.
// `read` gives the text only when a program asks for it, so selecting all of a large
// document costs nothing until then; nothing is offered once `owner` is gone. Does nothing
// where the system has no primary selection.
void offerPrimarySelection(const QObject& owner, std::function<QString()> read);

}  // namespace norvane::ui
