#pragma once

#include "ui/pane/text_motion.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace norvane::ui {

// The caret and the selection of a text pane, as positions in the document's units. The
// selection runs between the anchor, where it began, and the caret, the end that moves with
// the keys; nothing is selected when they meet.
class CaretSelection {
public:
    std::size_t anchor() const { return anchor_; }
    std::size_t caret() const { return caret_; }
    UnitRange range() const { return {std::min(anchor_, caret_), std::max(anchor_, caret_)}; }
    bool empty() const { return anchor_ == caret_; }

    void select(std::size_t anchor, std::size_t caret) {
        anchor_ = anchor;
        caret_ = caret;
    }

    // SelStart and SelLength over a text of `size` units. The caret goes to `position`
    // (clamped to the text) with nothing selected; the selection is made to run from its
    // start for `length` units, at most to the end of the text.
    void setStart(std::size_t position, std::size_t size) {
        position = std::min(position, size);
        select(position, position);
        preferredColumn_.reset();
    }
    void setLength(std::size_t length, std::size_t size) {
        const std::size_t start = std::min(range().start, size);
        select(start, start + std::min(length, size - start));
    }

    // The column Up and Down aim for, kept while they repeat so that a short line on the
    // way does not pull the caret to the left for good.
    std::optional<std::uint64_t> preferredColumn() const { return preferredColumn_; }
    void setPreferredColumn(std::uint64_t column) { preferredColumn_ = column; }
    void forgetPreferredColumn() { preferredColumn_.reset(); }

private:
    std::size_t anchor_ = 0;
    std::size_t caret_ = 0;
    std::optional<std::uint64_t> preferredColumn_;
};

}  // namespace norvane::ui
