#pragma once

#include "engine/gap_array.h"
#include "engine/line_index.h"
#include "engine/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace norvane {

// The document: its text exactly as stored (every CR, LF and NUL kept), the file format it
// is written back in, and the index of its display lines. Positions count the
// stored 8-bit units from 0 (see text_encoding.h); in text that is not ASCII a character
// can span several units, and callers that move by characters step over whole ones.
// Edits cost what they touch, so a document of hundreds of MB is edited near the caret
// without copying it.
class Document {
public:
    Document() = default;
    explicit Document(std::string_view text, FileFormat format = {});
    // Takes over loaded text.
    Document(GapArray<char> text, FileFormat format);

    const FileFormat& format() const { return format_; }
    std::size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    char at(std::size_t position) const { return text_[position]; }
    // The units from `position` on, `count` of them.
    std::string slice(std::size_t position, std::size_t count) const;
    const GapArray<char>& units() const { return text_; }

    std::string text() const { return slice(0, size()); }
    // Replaces the whole text.
    void setText(std::string_view text);

    // Replaces `removed` units at `position` by `inserted`. Throws std::out_of_range for a
    // range outside the text.
    void replace(std::size_t position, std::size_t removed, std::string_view inserted);

    // Display lines: a line ends only at a CR LF pair.
    std::size_t lineCount() const { return lines_.lineCount(); }
    std::size_t lineStart(std::size_t line) const { return lines_.lineStart(line); }
    // Position of the line's end: before its CR LF, or the end of the text for the last line.
    std::size_t lineEnd(std::size_t line) const;
    std::size_t lineOf(std::size_t position) const { return lines_.lineOf(position); }

    // The number of LFs in the text, kept up to date by every edit.
    std::size_t lineFeedCount() const { return lineFeeds_; }

    // Rewrites the whole text in place, for passes such as the line-ending fixer, which also
    // know where the new lines start. beginRewrite returns the text followed by at least
    // `room` spare units, and a table of `lineStarts` entries for the starts of lines 1 on;
    // endRewrite makes the first newSize units the text and takes the table as the line
    // index. The document must not be read in between. beginRewrite allocates all that the
    // pass needs: when memory runs out it throws std::bad_alloc and the document is as it was.
    struct Rewrite {
        std::span<char> text;
        std::span<std::uint64_t> lineStarts;
    };
    Rewrite beginRewrite(std::size_t room, std::size_t lineStarts);
    void endRewrite(std::size_t newSize, std::size_t lineFeeds);

private:
    GapArray<char> text_;
    LineIndex lines_;
    FileFormat format_;
    std::size_t lineFeeds_ = 0;
};

}  // namespace norvane
