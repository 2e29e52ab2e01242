#include "ui/pane/char_width.h"

#include "ui/pane/char_width_table.h"

#include <QList>

#include <algorithm>
#include <iterator>

namespace norvane::ui {

int cellsOf(char32_t c) {
    if (c < CharWidthRanges[0].first) return 1;  // ASCII and Latin, at once
    const auto after = std::upper_bound(std::begin(CharWidthRanges), std::end(CharWidthRanges), c,
                                        [](char32_t value, const CharWidthRange& range) { return value < range.first; });
    return after != std::begin(CharWidthRanges) && c <= std::prev(after)->last ? std::prev(after)->cells : 1;
}

std::uint64_t cellsOf(QStringView text) {
    std::uint64_t cells = 0;
    for (const char32_t c : text.toUcs4()) cells += static_cast<std::uint64_t>(cellsOf(c));
    return cells;
}

}  // namespace norvane::ui
