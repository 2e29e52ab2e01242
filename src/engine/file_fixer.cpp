#include "engine/file_fixer.h"

#include "engine/document_file.h"

namespace norvane {

FileFixer::Fixed FileFixer::fix(const std::filesystem::path& path) {
    const Document document = loadDocument(path);
    const platform::FileOrigin::Key key = document.origin().key();
    if (const auto earlier = fixed_.find(key); earlier != fixed_.end()) return {0, earlier->second};
    const std::size_t lineFeeds = bareLineFeedCount(document);
    const std::size_t size = document.size();
    const bool closed = size >= 2 && document.at(size - 2) == '\r' && document.at(size - 1) == '\n';
    // A file with nothing to fix is not written: it keeps its times.
    if (lineFeeds > 0 || !closed) saveDocumentOver(document, document.origin(), {}, LineEnds::BareLineFeedsFixed);
    fixed_.emplace(key, path);
    return {lineFeeds, std::nullopt};
}

}  // namespace norvane
