#pragma once

#include <QFileIconProvider>
#include <QMimeDatabase>

namespace norvane::ui {

// Icons and type names for a file dialog's entries, told from each entry's name and kind
// alone. Qt's own provider guesses a file's type from its first bytes, on the window's
// thread: a file whose read blocks (/proc/kmsg, a file on a stalled mount) then hangs the
// dialog. This one never opens what it describes.
class NameOnlyIconProvider final : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

private:
    // The type its name suggests, or the kind (FIFO, device, socket) the system gives it.
    QMimeType typeByName(const QFileInfo& info) const;

    QMimeDatabase types_;
};

}  // namespace norvane::ui
