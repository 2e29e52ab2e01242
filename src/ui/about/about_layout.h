#pragma once

#include <QColor>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where the About box's controls stand, in twips from the top-left corner of its client
// area: the icon and the identity block at the top, the usage note between two etched
// separators, the copyright notice and the two buttons at the bottom.
namespace norvane::ui::AboutLayout {

inline constexpr QSize ClientSize{5730, 4920};
// The client area's top-left corner, measured from the screen's.
inline constexpr QPoint ScreenPosition{2340, 1935};

inline constexpr QRect cmdOK{4245, 3945, 1260, 345};
inline constexpr QRect picIcon{240, 240, 540, 540};
inline constexpr QRect cmdSysInfo{4260, 4395, 1245, 345};
inline constexpr QRect lblDescription{1080, 1245, 3885, 810};
inline constexpr QRect lblDisclaimer{255, 3945, 3870, 825};
inline constexpr QRect lblTitle{1050, 240, 3885, 360};
inline constexpr QRect lblVersion{1080, 600, 3885, 225};
inline constexpr QRect Label1{240, 2400, 5295, 1215};
inline constexpr QRect lblCompanyName{1080, 840, 3975, 375};

// Font sizes in points. The buttons and the labels not named here have the default
// dialog font's.
inline constexpr double DescriptionFontSize = 9.75;  // lblDescription, normal weight
inline constexpr double CompanyFontSize = 9.75;      // lblCompanyName, bold
inline constexpr double TitleFontSize = 13.5;        // lblTitle, bold

// The etched separators: each a grey line with a white one beneath it, members of the
// line array Line1 told apart by their index. Widths are in pixels, as drawn.
struct Line {
    int index;
    QLine twips;
    QColor colour;
    int widthPixels;
};
inline constexpr QColor Grey{128, 128, 128};
inline constexpr QColor White{255, 255, 255};
inline const Line Line1[] = {
    {2, QLine(120, 2280, 5684, 2280), Grey, 1},
    {3, QLine(135, 2295, 5684, 2295), White, 2},
    {1, QLine(120, 3720, 5684, 3720), Grey, 1},
    {0, QLine(135, 3735, 5684, 3735), White, 2},
};

}  // namespace norvane::ui::AboutLayout
