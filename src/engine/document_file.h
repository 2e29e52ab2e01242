#pragma once

#include "engine/document.h"
#include "engine/progress.h"
#include "engine/text_encoding.h"

#include <cstddef>
#include <filesystem>
#include <span>

// Reading and writing document files. Every file comes back byte for byte: valid UTF-8
// is read as UTF-8, anything else as Windows-1252 bytes, and a file with a UTF-16
// byte-order mark as UTF-16 in its byte order. Failures throw platform::FileError, whose
// message says what went wrong.
namespace norvane {

struct DetectedFormat {
    FileFormat format;
    std::size_t markLength = 0;  // bytes of byte-order mark at the start of the file
};

DetectedFormat detectFormat(std::span<const char> bytes);

// Both may run on a worker thread and report their progress from it.
Document loadDocument(const std::filesystem::path& path, const ProgressReporter& progress = {});

// Saves the document as the file at `path` as platform::writeFileAtomically does: on
// failure the old file keeps its bytes.
// A closing CR LF is added unless the text already ends in one (an empty document is
// written as CR LF alone).
void saveDocument(const Document& document, const std::filesystem::path& path,
                  const ProgressReporter& progress = {});

}  // namespace norvane
