#include "ui/controls/label_fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>

#include <limits>

namespace norvane::ui {
namespace {

const QString PreferredFamily = QStringLiteral("MS Sans Serif");
constexpr double SizeStep = 0.25;
constexpr double SmallestSize = 6;

}  // namespace

QFont dialogFont(double pointSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    if (QFontDatabase::families().contains(PreferredFamily)) font.setFamily(PreferredFamily);
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
