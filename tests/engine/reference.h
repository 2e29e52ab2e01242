#pragma once

// What the engine's results are checked against, computed the plain way.

#include "engine/document.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace norvane::test {

// What unix2dos makes of a text: a CR in front of every LF, whatever stands before it.
inline std::string withCrBeforeEveryLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Where display lines start: at 0 and right behind every CR LF pair.
inline std::vector<std::size_t> lineStartsOf(std::string_view text) {
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 1; i < text.size(); ++i)
        if (text[i - 1] == '\r' && text[i] == '\n') starts.push_back(i + 1);
    return starts;
}

// The longest of the lines that start at `starts` in a text of `size` units (the first of them).
inline std::size_t longestLineOf(const std::vector<std::size_t>& starts, std::size_t size) {
    std::size_t longest = 0, longestLength = 0;
    for (std::size_t line = 0; line < starts.size(); ++line) {
        const std::size_t length = (line + 1 < starts.size() ? starts[line + 1] - 2 : size) - starts[line];
        if (length > longestLength) longest = line, longestLength = length;
    }
    return longest;
}

// One display line of the document against `starts`, those of a text of `size` units: where
// it starts and ends, and which line its first unit and the LF before it belong to.
inline void expectLine(const Document& document, const std::vector<std::size_t>& starts, std::size_t size,
                       std::size_t line) {
    ASSERT_EQ(document.lineStart(line), starts[line]) << "line " << line;
    ASSERT_EQ(document.lineEnd(line), line + 1 < starts.size() ? starts[line + 1] - 2 : size) << "line " << line;
    ASSERT_EQ(document.lineOf(starts[line]), line);
    if (line > 0) {
        ASSERT_EQ(document.lineOf(starts[line] - 1), line - 1);  // the LF ending the line before
    }
}

// The document's display lines against those counted from scratch in `text`.
inline void expectLinesOf(const Document& document, std::string_view text) {
    const std::vector<std::size_t> starts = lineStartsOf(text);
    ASSERT_EQ(document.size(), text.size());
    ASSERT_EQ(document.lineCount(), starts.size());
    for (std::size_t line = 0; line < starts.size(); ++line) ASSERT_NO_FATAL_FAILURE(expectLine(document, starts, text.size(), line));
    ASSERT_EQ(document.lineOf(text.size()), starts.size() - 1);
    ASSERT_EQ(document.longestLine(), longestLineOf(starts, text.size()));
}

}  // namespace norvane::test
