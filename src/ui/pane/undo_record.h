#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace norvane::ui {

// The pane's one level of undo, as the platform's edit control keeps it: the last edit,
// which undoing turns into its own opposite, so a second undo redoes it. A run of typing,
// of Backspaces or of Deletes with nothing in between counts as one edit.
class UndoRecord {
public:
    enum class Kind { Typing, Backspace, Delete, Other };

    // What undoing does to the document: replace `removeCount` units at `position` by `insert`.
    struct Step {
        std::size_t position = 0;
        std::size_t removeCount = 0;
        std::string_view insert;
    };

    // `removed` units at `position` were replaced by `inserted`.
    void record(Kind kind, std::size_t position, std::string removed, std::string_view inserted);
    // The next edit starts a record of its own (the caret was moved, for instance).
    void seal() { sealed_ = true; }
    void clear();

    bool empty() const { return !held_; }
    Step undoStep() const { return {position_, inserted_.size(), removed_}; }
    // The undo step was applied: the record now holds the edit that redoes it.
    void undone();

private:
    bool held_ = false;
    bool sealed_ = true;
    Kind kind_ = Kind::Other;
    std::size_t position_ = 0;
    std::string removed_;
    std::string inserted_;
};

}  // namespace norvane::ui
