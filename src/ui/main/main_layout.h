#pragma once

#include <QRect>
#include <QSize>

// Where the main window's controls stand, in twips from the top-left corner of the client
// area: a column of commands 1335 twips wide along the left edge, the text pane to its right.
namespace norvane::ui::MainLayout {

inline constexpr QSize InitialClientSize{6180, 3990};

inline constexpr QRect butOpenFile{120, 120, 1335, 375};
inline constexpr QRect butConvert{120, 600, 1335, 375};
inline constexpr QRect butSaveFile{120, 1080, 1335, 375};
inline constexpr QRect txtMain{1560, 120, 3525, 3135};
inline constexpr QRect butSaveFileAs{120, 1560, 1335, 375};
inline constexpr QRect ConvertProgBar{120, 2040, 1335, 225};
inline constexpr QRect chkShowText{120, 2400, 1335, 255};
inline constexpr QRect Line1{120, 2760, 1320, 0};  // from (120, 2760) to (1440, 2760)
inline constexpr QRect butAboutHelp{120, 2880, 1335, 375};

// Taken from the window's size to give the pane's, while the pane is shown.
inline constexpr QSize PaneMargins{1700, 540};
// The window's outer size while the pane is hidden: just the column of commands.
inline constexpr QSize CompactOuterSize{1560, 3780};

}  // namespace norvane::ui::MainLayout
