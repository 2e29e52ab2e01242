#include "engine/file_fixer.h"

#include "engine/document_file.h"
#include "platform/file_io.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace norvane {
namespace {

using Key = platform::FileOrigin::Key;

// Fixes one group of files, few enough for their descriptors to stay open together, on a
// few threads.
class GroupFixer {
public:
    GroupFixer(const std::vector<std::filesystem::path>& paths, std::size_t first, std::size_t end,
               std::map<Key, std::filesystem::path>& fixedBefore)
        : paths_(paths), first_(first), fixedBefore_(fixedBefore), outcomes_(end - first), unread_(end - first),
          firstName_(end - first) {}

    std::vector<FixOutcome> run() {
        const std::size_t threads = std::min(platform::savesToPrepareAtOnce(), outcomes_.size());
        {
            std::vector<std::jthread> helpers;
            try {
                for (std::size_t i = 1; i < threads; ++i) helpers.emplace_back([this] { fixSome(); });
            } catch (const std::system_error&) {
                // Fewer threads: those there are fix every file.
            }
            fixSome();
        }
        finishSaves();
        // A file read while this program wrote it in place by another of its names could not
        // be read whole: it is read again now that the writes are done. So is one another
        // program changed meanwhile, once.
        for (std::size_t index = 0; index < outcomes_.size(); ++index)
            if (unread_[index]) fix(index);
        finishSaves();
        shareOutcomesAmongNames();
        return std::move(outcomes_);
    }

private:
    void fixSome() {
        for (std::size_t index; (index = next_++) < outcomes_.size();) fix(index);
    }

    void fix(std::size_t index) {
        FixOutcome& outcome = outcomes_[index];
        outcome = {};
        unread_[index] = false;
        std::optional<Document> document;
        try {
            document.emplace(loadDocument(paths_[first_ + index]));
        } catch (...) {
            outcome.failure = std::current_exception();
            unread_[index] = true;
            return;
        }
        if (!comesFirst(index, document->origin().key())) return;
        try {
            const std::size_t lineFeeds = bareLineFeedCount(*document);
            // A file with nothing to fix is not written: it keeps its times.
            if (lineFeeds > 0 || !endsWithCrLf(*document)) {
                const std::size_t position =
                    batch_.add(prepareSaveOver(*document, document->origin(), LineEnds::BareLineFeedsFixed));
                const std::lock_guard lock(mutex_);
                saved_.emplace_back(position, index);
            }
            outcome.fixed = FixOutcome::Fixed{lineFeeds, std::nullopt};
        } catch (...) {
            outcome.failure = std::current_exception();
        }
    }

    // Looks the file read for `index` up by its identity; true when no other name of it
    // came before, so that this one fixes it.
    bool comesFirst(std::size_t index, const Key& key) {
        const std::lock_guard lock(mutex_);
        if (const auto earlier = fixedBefore_.find(key); earlier != fixedBefore_.end()) {
            outcomes_[index].fixed = FixOutcome::Fixed{0, earlier->second};
            return false;
        }
        const auto [first, isFirst] = firstByKey_.emplace(key, index);
        if (!isFirst) firstName_[index] = first->second;
        return isFirst;
    }

    void finishSaves() {
        const std::vector<std::exception_ptr> failures = batch_.finish();
        for (const auto& [position, index] : saved_)
            if (failures[position]) outcomes_[index] = {std::nullopt, failures[position]};
        saved_.clear();
    }

    // Names of one file: whichever of them a thread came to first fixed it, and the first
    // given is reported to have; the others are the same file, sharing its outcome.
    void shareOutcomesAmongNames() {
        std::map<std::size_t, std::size_t> shownFor;  // by the name that fixed the file
        for (std::size_t i = 0; i < outcomes_.size(); ++i) {
            if (!firstName_[i]) continue;
            const auto [entry, added] = shownFor.emplace(*firstName_[i], i);
            entry->second = std::min({entry->second, i, *firstName_[i]});
        }
        std::map<std::size_t, FixOutcome> actual;
        for (const auto& [fixer, shown] : shownFor) actual.emplace(fixer, outcomes_[fixer]);
        for (std::size_t i = 0; i < outcomes_.size(); ++i) {
            const std::size_t fixer = firstName_[i].value_or(i);
            const auto shown = shownFor.find(fixer);
            if (shown == shownFor.end()) continue;
            const FixOutcome& outcome = actual.at(fixer);
            outcomes_[i] = i == shown->second || outcome.failure
                               ? outcome
                               : FixOutcome{FixOutcome::Fixed{0, paths_[first_ + shown->second]}, {}};
        }
        for (const auto& [key, fixer] : firstByKey_) {
            const auto shown = shownFor.find(fixer);
            const std::size_t index = shown == shownFor.end() ? fixer : shown->second;
            if (!outcomes_[index].failure) fixedBefore_.emplace(key, paths_[first_ + index]);
        }
    }

    const std::vector<std::filesystem::path>& paths_;
    const std::size_t first_;
    std::map<Key, std::filesystem::path>& fixedBefore_;  // by earlier groups
    std::vector<FixOutcome> outcomes_;
    std::vector<char> unread_;  // whether the file could not be read (char: threads set neighbours at once)
    std::vector<std::optional<std::size_t>> firstName_;  // of a second name of a file
    platform::SaveBatch batch_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;  // guards what follows
    std::map<Key, std::size_t> firstByKey_;
    std::vector<std::pair<std::size_t, std::size_t>> saved_;  // each save's position in the batch, and its file
};

}  // namespace

void fixFiles(const std::vector<std::filesystem::path>& paths,
              const std::function<void(std::size_t index, const FixOutcome& outcome)>& report) {
    // Each save waiting for its flush holds a few descriptors: groups stay inside the limit.
    const std::size_t groupSize = std::max<std::size_t>(1, platform::raiseOpenFileLimit() / 4);
    std::map<Key, std::filesystem::path> fixed;
    for (std::size_t first = 0; first < paths.size(); first += groupSize) {
        const std::size_t end = std::min(paths.size(), first + groupSize);
        const std::vector<FixOutcome> outcomes = GroupFixer(paths, first, end, fixed).run();
        for (std::size_t i = first; i < end; ++i) report(i, outcomes[i - first]);
    }
}

}  // namespace norvane
