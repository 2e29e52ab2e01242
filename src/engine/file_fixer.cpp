#include "engine/file_fixer.h"

#include "engine/document_file.h"
#include "engine/line_fixer.h"

namespace norvane {

std::size_t fixFile(const std::filesystem::path& path) {
    Document document = loadDocument(path);
    const std::size_t lineFeeds = document.lineFeedCount();
    fixLineEnds(document);
    saveDocument(document, path);
    return lineFeeds;
}

}  // namespace norvane
