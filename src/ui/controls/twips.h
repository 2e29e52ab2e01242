#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <cmath>

// Window coordinates are given in twips, 1/1440 inch: 15 twips make a pixel at 96 dpi.
// Conversions use the screen's logical resolution, so layouts keep their size at any scale.
namespace norvane::ui {

inline double logicalDpi(const QWidget& widget) { return widget.logicalDpiX(); }

inline int twipsToPixels(const QWidget& widget, int twips) {
    return static_cast<int>(std::lround(twips * logicalDpi(widget) / 1440.0));
}

inline int pixelsToTwips(const QWidget& widget, int pixels) {
    return static_cast<int>(std::lround(pixels * 1440.0 / logicalDpi(widget)));
}

inline QSize twipsToPixels(const QWidget& widget, QSize twips) {
    return {twipsToPixels(widget, twips.width()), twipsToPixels(widget, twips.height())};
}

inline QSize pixelsToTwips(const QWidget& widget, QSize pixels) {
    return {pixelsToTwips(widget, pixels.width()), pixelsToTwips(widget, pixels.height())};
}

inline QRect twipsToPixels(const QWidget& widget, QRect twips) {
    return {twipsToPixels(widget, twips.left()), twipsToPixels(widget, twips.top()),
            twipsToPixels(widget, twips.width()), twipsToPixels(widget, twips.height())};
}

}  // namespace norvane::ui
