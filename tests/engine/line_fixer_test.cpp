#include "engine/line_fixer.h"

#include "reference.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace std::literals;

namespace norvane {
namespace {

// The fixed text is the reference conversion, and its display lines are exactly the pieces
// that the original text had between LFs.
void expectFixedFrom(const Document& document, std::string_view original) {
    ASSERT_EQ(document.text(), test::withCrBeforeEveryLf(original));
    ASSERT_EQ(document.lineCount(), static_cast<std::size_t>(std::ranges::count(original, '\n')) + 1);
    for (std::size_t line = 0, begin = 0; line < document.lineCount(); ++line) {
        const std::size_t end = std::min(original.find('\n', begin), original.size());
        const std::size_t start = document.lineStart(line);
        ASSERT_EQ(document.slice(start, document.lineEnd(line) - start), original.substr(begin, end - begin));
        begin = end + 1;
    }
    ASSERT_NO_FATAL_FAILURE(test::expectLinesOf(document, document.text()));
}

TEST(LineFixer, PutsCrInFrontOfEveryLf) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a\nb", "a\r\nb"},
        {"\nab", "\r\nab"},  // the first character too
        {"a\r\nb", "a\r\r\nb"},
        {"\n\n", "\r\n\r\n"},
        {"\n", "\r\n"},
        {"x", "x"},
        {"\r", "\r"},
        {"", ""},
        {"\0\n\xFF\xC3\n\n"sv, "\0\r\n\xFF\xC3\r\n\r\n"sv},
        {"one\ntwo\r\n\nend\n", "one\r\ntwo\r\r\n\r\nend\r\n"},
    };
    for (const auto& [original, fixed] : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(original)));
        Document document(original);
        fixLineEnds(document);
        EXPECT_EQ(document.text(), fixed);
        expectFixedFrom(document, original);
    }
}

TEST(LineFixer, MatchesTheReferenceOnRandomBytes) {
    std::mt19937 random(20240611);
    std::vector<std::size_t> sizes(71);
    std::ranges::generate(sizes, [size = 0]() mutable { return size++; });
    sizes.insert(sizes.end(), {127, 128, 129, 191, 192, 193, 255, 256, 257, 4095, 4096, 4097, 70001});
    for (std::size_t size : sizes) {
        for (unsigned lineFeedPercent : {0, 3, 50, 90, 100}) {
            std::string text(size, '\0');
            for (char& c : text)
                c = random() % 100 < lineFeedPercent ? '\n' : random() % 4 ? static_cast<char>(random()) : '\r';
            // Built by an edit in front of the rest, so that the text is two pieces, one from each store.
            Document document(std::string_view(text).substr(size / 3));
            document.replace(0, 0, std::string_view(text).substr(0, size / 3));
            fixLineEnds(document);
            ASSERT_NO_FATAL_FAILURE(expectFixedFrom(document, text)) << size << " bytes, LF " << lineFeedPercent << "%";
        }
    }
}

TEST(LineFixer, EditingAndFixingInTurnKeepsTextAndLinesRight) {
    std::mt19937 random(11);
    Document document;
    std::string model;
    for (int round = 0; round < 40; ++round) {
        for (int edit = 0; edit < 20; ++edit) {
            const std::size_t position = random() % (model.size() + 1);
            const std::size_t removed = std::min<std::size_t>(random() % 8, model.size() - position);
            std::string inserted(random() % 200, '\0');
            for (char& c : inserted) c = "\n\n\r\n\rxy"[random() % 7];
            document.replace(position, removed, inserted);
            model.replace(position, removed, inserted);
            // Reading from anywhere, between a shown CR and its LF too.
            for (int probe = 0; probe < 5 && !model.empty(); ++probe) {
                const std::size_t at = random() % model.size(), count = random() % (model.size() - at + 1);
                ASSERT_EQ(document.at(at), model[at]) << "round " << round << " at " << at;
                ASSERT_EQ(document.slice(at, count), model.substr(at, count)) << "round " << round << " at " << at;
            }
        }
        fixLineEnds(document);
        SCOPED_TRACE("round " + std::to_string(round));
        if (round % 4 == 3) {  // every line now and then; between, the text, the count and a sample
            ASSERT_NO_FATAL_FAILURE(expectFixedFrom(document, model));
            model = document.text();
            continue;
        }
        model = test::withCrBeforeEveryLf(model);
        ASSERT_EQ(document.text(), model);
        const std::vector<std::size_t> starts = test::lineStartsOf(model);
        ASSERT_EQ(document.lineCount(), starts.size());
        for (int sample = 0; sample < 64; ++sample)
            ASSERT_NO_FATAL_FAILURE(test::expectLine(document, starts, model.size(), random() % starts.size()));
    }
}

// A file of megabytes with edits in it, fixed twice as a user may by mistake: every LF gets
// a CR each time, also in the pieces the edits made, and the lines stay those between LFs.
TEST(LineFixer, FixingAnEditedMultiMegabyteDocumentTwiceDoublesItsCrs) {
    std::mt19937 random(7);
    std::string text;
    while (text.size() < (3u << 20)) {
        text.append(random() % 120, static_cast<char>('a' + random() % 26));
        text += random() % 10 ? "\n" : random() % 2 ? "\r\n" : "\n\n\n";
    }
    text += "last line without a line feed";
    Document document(text);
    for (int edit = 0; edit < 50; ++edit) {
        const std::size_t position = random() % (text.size() + 1);
        const std::size_t removed = std::min<std::size_t>(random() % 300, text.size() - position);
        const std::string inserted = random() % 2 ? "new\nline\r" : "\n";
        document.replace(position, removed, inserted);
        text.replace(position, removed, inserted);
    }
    fixLineEnds(document);
    ASSERT_NO_FATAL_FAILURE(expectFixedFrom(document, text));
    fixLineEnds(document);
    const std::string twice = test::withCrBeforeEveryLf(test::withCrBeforeEveryLf(text));
    ASSERT_EQ(document.text(), twice);
    ASSERT_NO_FATAL_FAILURE(test::expectLinesOf(document, twice));
}

}  // namespace
}  // namespace norvane
