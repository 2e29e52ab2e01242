#pragma once

#include <cstdint>

namespace norvane::ui {

// Puts a 64-bit scroll range (in lines or columns) on a scroll bar, whose values are ints.
// A range that an int holds maps one to one; a larger one is divided by a whole factor, so
// the bar still spans it and its end still reaches the last line or column.
class ScrollScale {
public:
    // Bar values stay below this, leaving room for a value plus a page step in an int.
    static constexpr std::uint64_t BarLimit = std::uint64_t{1} << 30;

    // `maximum` is the last first-visible line or column.
    void setMaximum(std::uint64_t maximum);
    std::uint64_t maximum() const { return maximum_; }
    int barMaximum() const;
    // A count of lines or columns (a page, a step) in bar units, at least 1.
    int barSteps(std::uint64_t count) const;

    int toBar(std::uint64_t first) const;
    std::uint64_t fromBar(int value) const;

private:
    std::uint64_t maximum_ = 0;
    std::uint64_t factor_ = 1;
};

}  // namespace norvane::ui
