#include "engine/file_fixer.h"

#include "engine/document_file.h"
#include "platform/file_io.h"

#include <algorithm>

namespace norvane {

void FileFixer::fixAll(const std::vector<std::filesystem::path>& paths,
                       const std::function<void(std::size_t index, const Outcome& outcome)>& report) {
    // Each save waiting for its flush holds a few descriptors: groups stay inside the limit.
    const std::size_t groupSize = std::max<std::size_t>(1, platform::raiseOpenFileLimit() / 4);
    // One file flushes itself: that flushes nothing else of its file system.
    const bool shared = paths.size() > 1;
    for (std::size_t first = 0; first < paths.size(); first += groupSize) {
        const std::size_t end = std::min(paths.size(), first + groupSize);
        std::vector<Outcome> outcomes(end - first);
        std::vector<platform::PreparedSave> saves;
        std::vector<std::size_t> saved;  // the outcome of each save
        std::vector<platform::FileOrigin::Key> keys;
        for (std::size_t i = first; i < end; ++i) {
            Outcome& outcome = outcomes[i - first];
            try {
                const Document document = loadDocument(paths[i]);
                const platform::FileOrigin::Key key = document.origin().key();
                if (const auto earlier = fixed_.find(key); earlier != fixed_.end()) {
                    outcome.fixed = Fixed{0, earlier->second};
                    continue;
                }
                const std::size_t lineFeeds = bareLineFeedCount(document);
                // A file with nothing to fix is not written: it keeps its times.
                if (lineFeeds > 0 || !endsWithCrLf(document)) {
                    saves.push_back(
                        prepareSaveOver(document, document.origin(), LineEnds::BareLineFeedsFixed, !shared));
                    saved.push_back(i - first);
                    keys.push_back(key);
                }
                fixed_.emplace(key, paths[i]);
                outcome.fixed = Fixed{lineFeeds, std::nullopt};
            } catch (...) {
                outcome.failure = std::current_exception();
            }
        }
        // The new bytes of every file reach the disk before any is put in place, and the
        // new names after.
        try {
            if (shared) platform::flushNewContents(saves);
            for (std::size_t k = 0; k < saves.size(); ++k) {
                try {
                    saves[k].commit();
                } catch (...) {
                    outcomes[saved[k]] = {std::nullopt, std::current_exception()};
                    fixed_.erase(keys[k]);
                }
            }
            if (shared) platform::flushNewNames(saves);
        } catch (...) {
            for (std::size_t k = 0; k < saves.size(); ++k) outcomes[saved[k]] = {std::nullopt, std::current_exception()};
        }
        for (std::size_t i = first; i < end; ++i) report(i, outcomes[i - first]);
    }
}

}  // namespace norvane
