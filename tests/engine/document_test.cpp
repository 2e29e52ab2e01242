#include "engine/document.h"

#include "reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>

namespace norvane {
namespace {

using test::expectLinesOf;

TEST(Document, ReplaceTakesOnlyRangesInsideTheText) {
    Document document("there!");
    document.replace(0, 5, "");
    EXPECT_THROW(document.replace(2, 0, "x"), std::out_of_range);
    EXPECT_THROW(document.replace(0, 2, ""), std::out_of_range);
    EXPECT_EQ(document.text(), "!");
}

TEST(Document, DisplayLinesEndOnlyAtCrLf) {
    const std::pair<std::string_view, std::size_t> cases[] = {
        {"", 1}, {"abc", 1}, {"a\nb\rc\n\r", 1}, {"\r\n", 2}, {"\r\n\r\n", 3}, {"\r\r\n\n", 2}, {"a\r\nb\nc\rd\r\n", 3},
    };
    for (auto [text, lines] : cases) {
        const Document document(text);
        EXPECT_EQ(document.lineCount(), lines) << testing::PrintToString(std::string(text));
        expectLinesOf(document, text);
    }
}

TEST(Document, EditsThatMakeOrBreakCrLfPairs) {
    struct Edit {
        std::string_view before;
        std::size_t position, removed;
        std::string_view inserted, after;
        std::size_t lines;
    };
    const Edit edits[] = {
        {"a\r\nb", 2, 0, "x", "a\rx\nb", 1},          // splits a pair
        {"a\nb", 1, 0, "\r", "a\r\nb", 2},            // CR before a LF joins them
        {"a\rb", 2, 0, "\n", "a\r\nb", 2},            // LF behind a CR joins them
        {"a\r", 2, 0, "\n", "a\r\n", 2},
        {"\nb", 0, 0, "\r", "\r\nb", 2},
        {"a\r\nb", 1, 1, "", "a\nb", 1},              // deletes the CR of a pair
        {"a\r\nb", 2, 1, "", "a\rb", 1},              // deletes its LF
        {"a\rx\nb", 2, 1, "", "a\r\nb", 2},           // a deletion joins a pair
        {"a\r\nb", 2, 0, "\r\n", "a\r\r\n\nb", 2},    // a new pair inside a split one
        {"\r\r\n\n", 2, 0, "\n\r", "\r\r\n\r\n\n", 3},
        {"\r\n\r\n", 1, 2, "\n\r", "\r\n\r\n", 3},
        {"ab\r\ncd", 0, 6, "", "", 1},
    };
    // Each edit alone, and amid pairs before and after it.
    for (std::string around : {"", "p\r\nq\r\n"}) {
        for (const Edit& edit : edits) {
            const std::string before = around + std::string(edit.before) + around;
            const std::string after = around + std::string(edit.after) + around;
            SCOPED_TRACE(testing::PrintToString(before) + " -> " + testing::PrintToString(after));
            Document document(before);
            document.replace(around.size() + edit.position, edit.removed, edit.inserted);
            EXPECT_EQ(document.text(), after);
            EXPECT_EQ(document.lineCount(), edit.lines + (around.empty() ? 0 : 4));
            expectLinesOf(document, after);
        }
    }
}

// Random edits against a plain string. Each step checks what an edit can disturb: the units
// and lines around it, the lines at every block edge of the text store's index, the last line,
// the counts and the longest line; every few steps, and at the end, the whole text and every
// line.
TEST(Document, LineIndexFollowsRandomEdits) {
    std::mt19937 random(42);
    auto pick = [&](std::size_t n) -> std::size_t { return n ? random() % n : 0; };
    Document document;
    std::string model;
    constexpr int Steps = 10000, StepsBetweenFullChecks = 500;
    for (int step = 0; step < Steps; ++step) {
        std::size_t position = pick(model.size() + 1);
        std::size_t removed = std::min(pick(10) ? pick(3) : pick(64), model.size() - position);
        if (model.size() > 8000) {  // keeps the text small enough to check in full now and then
            position = pick(model.size() / 2);
            removed = model.size() / 2;
        }
        // Now and then thousands of units at once, so that the added text's store must grow.
        std::string inserted(pick(300) ? pick(5) : 5000 + pick(3000), '\0');
        for (char& c : inserted) c = "\r\n\r\nab"[pick(6)];
        document.replace(position, removed, inserted);
        model.replace(position, removed, inserted);
        SCOPED_TRACE("step " + std::to_string(step));

        if (step % StepsBetweenFullChecks == 0 || step == Steps - 1) {
            ASSERT_EQ(document.text(), model);
            ASSERT_NO_FATAL_FAILURE(expectLinesOf(document, model));
            continue;
        }
        const std::vector<std::size_t> starts = test::lineStartsOf(model);
        ASSERT_EQ(document.size(), model.size());
        ASSERT_EQ(document.lineCount(), starts.size());
        ASSERT_EQ(document.lineFeedCount(), static_cast<std::size_t>(std::count(model.begin(), model.end(), '\n')));
        ASSERT_EQ(document.longestLine(), test::longestLineOf(starts, model.size()));
        // The units around the edit, two on either side (a CR LF pair across each edge).
        const std::size_t first = position >= 2 ? position - 2 : 0;
        const std::size_t last = std::min(model.size(), position + inserted.size() + 2);
        ASSERT_EQ(document.slice(first, last - first), model.substr(first, last - first));
        // The lines around the edit, those at the block edges, and the last one.
        auto lineHolding = [&starts](std::size_t at) {
            return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
        };
        std::vector<std::size_t> lines;
        for (std::size_t line = lineHolding(first) ? lineHolding(first) - 1 : 0;
             line <= std::min(lineHolding(last) + 1, starts.size() - 1); ++line)
            lines.push_back(line);
        for (std::size_t edge = TextStore::BlockSize; edge < model.size(); edge += TextStore::BlockSize)
            lines.push_back(lineHolding(edge));
        lines.push_back(starts.size() - 1);
        for (std::size_t line : lines) ASSERT_NO_FATAL_FAILURE(test::expectLine(document, starts, model.size(), line));
        ASSERT_EQ(document.lineOf(model.size()), starts.size() - 1);
    }
}

// A copy is a snapshot: whatever is done to the original afterwards, the copy reads what the
// original held when it was made, the text its edits added included.
TEST(Document, ACopyKeepsWhatTheOriginalHeldWhenItWasMade) {
    const struct {
        const char* change;
        std::function<void(Document&)> run;
    } changes[] = {
        {"typing on where the last edit ended", [](Document& d) { d.replace(6, 0, "more\n"); }},
        {"an edit elsewhere", [](Document& d) { d.replace(0, 3, "x"); }},
        {"a CR in front of every LF, then an edit inside a CR LF", [](Document& d) {
             d.insertCrBeforeEveryLf();
             d.replace(3, 0, "y");
         }},
        {"new text", [](Document& d) { d.setText("other"); }},
    };
    for (const auto& [change, run] : changes) {
        SCOPED_TRACE(change);
        Document original("one\ntwo\r\n");
        original.replace(4, 0, "ab");  // "one\nabtwo\r\n": the added text holds "ab"
        const Document copy = original;
        const std::string before = original.text();
        run(original);
        EXPECT_NE(original.text(), before);
        EXPECT_EQ(copy.text(), before);
        expectLinesOf(copy, before);
    }
}

}  // namespace
}  // namespace norvane
