#include "ui/pane/scroll_scale.h"

#include <algorithm>

namespace norvane::ui {

void ScrollScale::setMaximum(std::uint64_t maximum) {
    maximum_ = maximum;
    factor_ = maximum <= BarLimit ? 1 : (maximum + BarLimit - 1) / BarLimit;
}

int ScrollScale::barMaximum() const { return static_cast<int>((maximum_ + factor_ - 1) / factor_); }

int ScrollScale::barSteps(std::uint64_t count) const {
    return static_cast<int>(std::clamp<std::uint64_t>(count / factor_, 1, BarLimit));
}

int ScrollScale::toBar(std::uint64_t first) const {
    return first >= maximum_ ? barMaximum() : static_cast<int>(first / factor_);
}

std::uint64_t ScrollScale::fromBar(int value) const {
    if (value <= 0) return 0;
    if (value >= barMaximum()) return maximum_;
    return static_cast<std::uint64_t>(value) * factor_;
}

}  // namespace norvane::ui
