#include "ui/controls/label_fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>

#include <limits>

namespace norvane::ui {
namespace {

const QString PreferredFamily = QStringLiteral("MS Sans Serif");
#ifdef Q_OS_WIN
// Every Windows has MS Sans Serif. Wine without its own fonts has neither it nor Tahoma, the
// face its dialog font stands for, and draws that in a serif face: there the first of these
// sans faces that is installed (Wine takes the others from the host) is used instead.
const QStringList SansFallbacks = {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                   QStringLiteral("DejaVu Sans")};
#else
// Elsewhere the desktop's own font is the fallback.
const QStringList SansFallbacks;
#endif
constexpr double SizeStep = 0.25;
constexpr double SmallestSize = 6;

}  // namespace

QFont dialogFont(double pointSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(PreferredFamily)) {
        font.setFamily(PreferredFamily);
    } else {
        for (const QString& family : SansFallbacks)
            if (installed.contains(family)) {
                font.setFamily(family);
                break;
            }
    }
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    return font;
}

void fitTextToBox(QLabel& label) {
    QFont font = label.font();
    const QRect box(0, 0, label.width(), std::numeric_limits<int>::max() / 2);
    const int flags = int(label.alignment()) | Qt::TextWordWrap;
    while (font.pointSizeF() - SizeStep >= SmallestSize &&
           QFontMetrics(font, &label).boundingRect(box, flags, label.text()).height() > label.height())
        font.setPointSizeF(font.pointSizeF() - SizeStep);
    label.setFont(font);
}

}  // namespace norvane::ui
