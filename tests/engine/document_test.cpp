#include "engine/document.h"

#include "reference.h"

#include <gtest/gtest.h>

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

TEST(Document, LineIndexFollowsRandomEdits) {
    std::mt19937 random(42);
    auto pick = [&](std::size_t n) -> std::size_t { return n ? random() % n : 0; };
    Document document;
    std::string model;
    for (int step = 0; step < 10000; ++step) {
        std::size_t position = pick(model.size() + 1);
        std::size_t removed = std::min(pick(10) ? pick(3) : pick(64), model.size() - position);
        if (model.size() > 8000) {  // small enough to compare in full at every step
            position = pick(model.size() / 2);
            removed = model.size() / 2;
        }
        // Now and then a block larger than the spare room, so that the storage must grow.
        std::string inserted(pick(300) ? pick(5) : 5000 + pick(3000), '\0');
        for (char& c : inserted) c = "\r\n\r\nab"[pick(6)];
        document.replace(position, removed, inserted);
        model.replace(position, removed, inserted);
        ASSERT_EQ(document.text(), model) << "step " << step;
        ASSERT_NO_FATAL_FAILURE(expectLinesOf(document, model)) << "step " << step;
    }
}

}  // namespace
}  // namespace norvane
