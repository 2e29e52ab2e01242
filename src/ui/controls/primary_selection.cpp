#include "ui/controls/primary_selection.h"

#include "ui/controls/text_conversion.h"
#include "ui/controls/text_pane.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

#include <algorithm>

namespace norvane::ui {
namespace {

// Plain text read from the pane when asked for; empty once the pane is gone.
class SelectedText : public QMimeData {
public:
    SelectedText(TextPane& pane, UnitRange range) : pane_(&pane), range_(range) {}

    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString& mimeType) const override { return mimeType == QLatin1String("text/plain"); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override {
        if (mimeType != QLatin1String("text/plain") || !pane_ || pane_->changingDocument()) return {};
        const Document& document = pane_->document();
        const std::size_t start = std::min(range_.start, document.size());
        const std::size_t end = std::clamp(range_.end, start, document.size());
        return decodeUnits(document.format().encoding, document.slice(start, end - start), ClipboardLineBreaks);
    }

private:
    QPointer<TextPane> pane_;
    UnitRange range_;
};

}  // namespace

void offerPrimarySelection(TextPane& pane, UnitRange range) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection()) clipboard->setMimeData(new SelectedText(pane, range), QClipboard::Selection);
}

}  // namespace norvane::ui
