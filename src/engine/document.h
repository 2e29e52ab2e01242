#pragma once

#include "engine/text_encoding.h"
#include "engine/text_store.h"
#include "platform/file_origin.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// The document: its text exactly as stored (every CR, LF and NUL kept), the file format it
// is written back in, and its display lines. Positions count the stored 8-bit units from 0
// (see text_encoding.h); in text that is not ASCII a character can span several units, and
// callers that move by characters step over whole ones.
//
// The text is a table of pieces: runs of the original text (a file's bytes as mapped, see
// platform::MappedFile) and of the text that edits added. An edit splits pieces where it
// begins and ends, so it costs what it touches plus the length of the table, whatever the
// size of the document. A piece may also show a number of CRs in front of each of its LFs:
// that is how the fixer puts CR in front of every LF without moving a byte.
//
// Const members never change anything, so several threads may call them at once (the save
// on a worker thread while the window paints); edits need the document to themselves.
//
// A copy costs the table of pieces: the stores are shared, and no document ever changes a
// store another one shares (appending to the added text copies it first when it is shared).
// So a copy is a snapshot that nothing done to the original can change, which another thread
// may read while the original is edited.
class Document {
public:
    Document();
    explicit Document(std::string_view text, FileFormat format = {});
    // Shows the whole of `original`.
    Document(TextStore original, FileFormat format);

    const FileFormat& format() const { return format_; }
    // Goes up by one with every change of the text (setText, replace, insertCrBeforeEveryLf),
    // so that what is derived from the text can record the revision it was made for and tell
    // whether it is still current. A copy has the revision of its original.
    std::uint64_t revision() const { return revision_; }
    std::size_t size() const { return starts_.back(); }
    bool empty() const { return size() == 0; }
    char at(std::size_t position) const;
    // The units from `position` on, `count` of them.
    std::string slice(std::size_t position, std::size_t count) const;
    void copyTo(std::size_t position, std::size_t count, char* out) const;
    // Hands the units from `position` on, `count` of them, to `take` in order, in runs.
    void forEachRun(std::size_t position, std::size_t count,
                    const std::function<void(std::span<const char>)>& take) const;

    std::string text() const { return slice(0, size()); }
    // Replaces the whole text.
    void setText(std::string_view text);

    // Replaces `removed` units at `position` by `inserted`. Throws std::out_of_range for a
    // range outside the text.
    void replace(std::size_t position, std::size_t removed, std::string_view inserted);

    // Puts a CR in front of every LF, whatever stands before it. Costs the number of pieces.
    void insertCrBeforeEveryLf();

    // Display lines: a line ends only at a CR LF pair.
    std::size_t lineCount() const { return linesBefore_.back() + 1; }
    std::size_t lineStart(std::size_t line) const;
    // Position of the line's end: before its CR LF, or the end of the text for the last line.
    std::size_t lineEnd(std::size_t line) const;
    // The line that holds a position (a position at a line's start belongs to that line).
    std::size_t lineOf(std::size_t position) const;

    // The line with the most units (the first of them), in one pass over the text: asking
    // lineStart() of every line costs a search each.
    std::size_t longestLine() const;

    // The number of LFs in the text, kept up to date by every edit.
    std::size_t lineFeedCount() const { return lineFeeds_; }

    // True once the file the text is read from was cut short or written to by another
    // program while the document was open: the text may then hold NUL bytes or other bytes
    // where the file's were, and saving it over that file is refused (see saveDocument).
    // The program never ends for it (see platform::MappedFile).
    bool sourceChanged() const;
    // Whether the text is still read from the file at `path` (a hard link to it included).
    bool readsFrom(const std::filesystem::path& path) const;
    // Makes the text read from the file private memory, so that the file can be written
    // over. Readers may go on meanwhile. Throws std::bad_alloc.
    void detachFromFile() const;

    // The file the text was read from (see loadDocument); none for a text made otherwise.
    const platform::FileOrigin& origin() const { return origin_; }
    void setOrigin(platform::FileOrigin origin) { origin_ = std::move(origin); }

private:
    struct Piece {
        bool added = false;  // from the added text, else from the original
        std::size_t crs = 0;  // CRs shown in front of each LF
        std::size_t from = 0, to = 0;  // range in its store
        std::size_t lineFeeds = 0;
        std::size_t innerPairs = 0;  // CR LF pairs whose CR is inside the piece too
        std::size_t length() const { return to - from + crs * lineFeeds; }
    };

    const TextStore& storeOf(const Piece& piece) const { return piece.added ? *added_ : *original_; }
    // Appends to the added text, copying the store first if another document shares it;
    // returns where the bytes start.
    std::size_t appendAdded(std::string_view bytes);
    Piece makePiece(bool added, std::size_t crs, std::size_t from, std::size_t to) const;
    char firstUnit(const Piece& piece) const;
    char lastUnit(const Piece& piece) const;
    // Counts positions, lines and LFs again after the table changed.
    void recount();
    // The piece that holds `position` (< size()).
    std::size_t pieceAt(std::size_t position) const;
    // Makes `position` the start of a piece; returns that piece's index.
    std::size_t splitAt(std::size_t position);
    // The unit `offset` units into a piece.
    char unitOf(const Piece& piece, std::size_t offset) const;
    // Hands each piece's part of a range to `take`: the piece, the offset into it, the count.
    void forEachPiecePart(std::size_t position, std::size_t count,
                          const std::function<void(const Piece&, std::size_t, std::size_t)>& take) const;
    // Writes `count` units of a piece from `offset` on.
    void expandInto(const Piece& piece, std::size_t offset, std::size_t count, char* out) const;

    std::shared_ptr<const TextStore> original_;
    std::shared_ptr<TextStore> added_;
    std::vector<Piece> pieces_;
    std::vector<std::size_t> starts_{0};       // position of each piece, and the size at the end
    std::vector<std::size_t> linesBefore_{0};  // CR LF pairs before each piece, and in all
    std::size_t lineFeeds_ = 0;
    std::uint64_t revision_ = 0;
    FileFormat format_;
    platform::FileOrigin origin_;
};

}  // namespace norvane
