#include "ui/pane/primary_selection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

#include <utility>

namespace norvane::ui {
namespace {

// Plain text read when asked for; empty once its owner is gone.
class SelectedText : public QMimeData {
public:
    SelectedText(const QObject& owner, std::function<QString()> read) : owner_(&owner), read_(std::move(read)) {}

    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString& mimeType) const override { return mimeType == QLatin1String("text/plain"); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override {
        if (mimeType != QLatin1String("text/plain") || !owner_) return {};
        return read_();
    }

private:
    QPointer<const QObject> owner_;
    std::function<QString()> read_;
};

}  // namespace

void offerPrimarySelection(const QObject& owner, std::function<QString()> read) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection())
        clipboard->setMimeData(new SelectedText(owner, std::move(read)), QClipboard::Selection);
}

}  // namespace norvane::ui
