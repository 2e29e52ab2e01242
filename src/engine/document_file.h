#pragma once

#include "engine/document.h"
#include "engine/progress.h"
#include "engine/text_encoding.h"
#include "platform/file_io.h"
#include "platform/file_origin.h"

#include <cstddef>
#include <filesystem>
#include <span>

// Reading and writing document files. Every file comes back byte for byte: valid UTF-8
// is read as UTF-8, anything else as bytes of the legacy code page, and a file with a UTF-16
// byte-order mark as UTF-16 in its byte order. Failures throw platform::FileError, whose
// message says what went wrong. Both may run on a worker thread and report their progress
// from it.
namespace norvane {

struct DetectedFormat {
    FileFormat format;
    std::size_t markLength = 0;  // bytes of byte-order mark at the start of the file
};

// `progress` gets 0 to `upTo` percent on the way.
DetectedFormat detectFormat(std::span<const char> bytes, const ProgressReporter& progress = {}, int upTo = 100);

// The text is read from the file as the system maps it (see platform::MappedFile), except
// UTF-16, which is converted into memory. A file changed by another program while it is
// read is refused. The document's origin() is the file read.
Document loadDocument(const std::filesystem::path& path, const ProgressReporter& progress = {});

// How the line ends are written.
enum class LineEnds {
    AsShown,             // every unit as the document holds it
    BareLineFeedsFixed,  // a CR in front of every LF that has none; a CR LF stays as it is
};

// Saves the document as the file at `path` (Save As) as platform::writeFileAtomically does:
// on failure the old file keeps its bytes. The bytes are written as they are read from the
// document, through a small buffer, so a save costs no copy of the text in memory. Where
// the file is written over in place and the document reads from that very file, the
// document first takes a private copy of what it reads.
// A document whose file was changed by another program while it was open (see
// Document::sourceChanged) is not saved over that file: platform::FileError says so, and
// the file keeps the other program's bytes; the same when that happens while saving. Saved
// elsewhere, the text goes as the document shows it.
// A closing CR LF is added unless the text already ends in one (an empty document is
// written as CR LF alone). Returns the file saved, for a later saveDocumentOver.
platform::FileOrigin saveDocument(const Document& document, const std::filesystem::path& path,
                                  const ProgressReporter& progress = {}, LineEnds lineEnds = LineEnds::AsShown);

// Saves the document over the file it was read from or last saved as (Save File), as
// saveDocument does, but only while that file is still as it was then: another program's
// change, a file renamed into its place or a symbolic link put there since refuse the save
// with platform::FileError and leave the file as the other program made it.
platform::FileOrigin saveDocumentOver(const Document& document, const platform::FileOrigin& file,
                                      const ProgressReporter& progress = {}, LineEnds lineEnds = LineEnds::AsShown);

// For saving many files with shared flushes (see platform::SaveBatch): saveDocumentOver up
// to its new bytes written, not flushed and not in place.
platform::PreparedSave prepareSaveOver(const Document& document, const platform::FileOrigin& file, LineEnds lineEnds);

// Whether the text ends in CR LF, so that saving adds no closing CR LF.
bool endsWithCrLf(const Document& document);

// The number of LFs that saving with LineEnds::BareLineFeedsFixed turns into CR LF.
std::size_t bareLineFeedCount(const Document& document);

}  // namespace norvane
