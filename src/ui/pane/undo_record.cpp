#include "ui/pane/undo_record.h"

#include <utility>

namespace norvane::ui {

void UndoRecord::record(Kind kind, std::size_t position, std::string removed, std::string_view inserted) {
    const bool continues = held_ && !sealed_ && kind == kind_;
    if (continues && kind == Kind::Typing && removed.empty() && position == position_ + inserted_.size()) {
        inserted_ += inserted;
    } else if (continues && kind == Kind::Backspace && inserted.empty() && position + removed.size() == position_) {
        removed_.insert(0, removed);
        position_ = position;
    } else if (continues && kind == Kind::Delete && inserted.empty() && position == position_) {
        removed_ += removed;
    } else {
        kind_ = kind;
        position_ = position;
        removed_ = std::move(removed);
        inserted_ = inserted;
    }
    held_ = true;
    sealed_ = kind == Kind::Other;
}

void UndoRecord::clear() {
    held_ = false;
    sealed_ = true;
    removed_.clear();
    inserted_.clear();
}

void UndoRecord::undone() {
    std::swap(removed_, inserted_);
    sealed_ = true;
}

}  // namespace norvane::ui
