#pragma once

// Files as they are on disk before and after the whole job: through the window (open, Fix
// File, Save File) and through `norvane --fix`, which differ only where a CR LF is already
// there: the window's fix puts a CR in front of every LF, `--fix` only in front of an LF
// that has none, so that fixing a file again changes nothing.

#include <cstddef>
#include <string_view>

namespace norvane::test {

using namespace std::string_view_literals;

struct LineFeedCase {
    const char* name;        // the file's name
    std::string_view before;
    std::string_view after;       // through the window
    std::size_t lineFeeds;        // how many LFs the window's fix turns into CR LF
    std::string_view afterFix;    // through --fix
    std::size_t bareLineFeeds;    // how many LFs --fix turns into CR LF
};

inline constexpr LineFeedCase LineFeedCases[] = {
    {"lines.txt", "first\nsecond\n", "first\r\nsecond\r\n", 2, "first\r\nsecond\r\n", 2},
    {"no final end.txt", "a\nb", "a\r\nb\r\n", 1, "a\r\nb\r\n", 1},
    {"leading.txt", "\nx\n", "\r\nx\r\n", 2, "\r\nx\r\n", 2},
    {"already crlf.txt", "a\r\nb\n", "a\r\r\nb\r\n", 2, "a\r\nb\r\n", 1},  // the window: CR CR LF
    {"crlf only.txt", "a\r\nb\r\n", "a\r\r\nb\r\r\n", 2, "a\r\nb\r\n", 0},
    {"lone cr.txt", "a\rb\n\r", "a\rb\r\n\r\r\n", 1, "a\rb\r\n\r\r\n", 1},
    {"empty.txt", "", "\r\n", 0, "\r\n", 0},
    {"no line feed.txt", "one line", "one line\r\n", 0, "one line\r\n", 0},
    {"nul and bad utf-8.bin", "\0\xFF\n\xC3"sv, "\0\xFF\r\n\xC3\r\n"sv, 1, "\0\xFF\r\n\xC3\r\n"sv, 1},
    {"Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC.txt", "\xEF\xBB\xBF" "caf\xC3\xA9\n\xE2\x82\xAC\n",
     "\xEF\xBB\xBF" "caf\xC3\xA9\r\n\xE2\x82\xAC\r\n", 2,
     "\xEF\xBB\xBF" "caf\xC3\xA9\r\n\xE2\x82\xAC\r\n", 2},  // UTF-8 with its mark
    {"windows-1252.txt", "caf\xE9\n\x80\n", "caf\xE9\r\n\x80\r\n", 2, "caf\xE9\r\n\x80\r\n", 2},
    {"utf-16le.txt", "\xFF\xFE" "a\0\n\0"sv, "\xFF\xFE" "a\0\r\0\n\0"sv, 1, "\xFF\xFE" "a\0\r\0\n\0"sv, 1},
    {"utf-16le crlf.txt", "\xFF\xFE" "a\0\r\0\n\0b\0\n\0"sv, "\xFF\xFE" "a\0\r\0\r\0\n\0b\0\r\0\n\0"sv, 2,
     "\xFF\xFE" "a\0\r\0\n\0b\0\r\0\n\0"sv, 1},
    {"utf-16be.txt", "\xFE\xFF\0a\0\n\0b"sv, "\xFE\xFF\0a\0\r\0\n\0b\0\r\0\n"sv, 1,
     "\xFE\xFF\0a\0\r\0\n\0b\0\r\0\n"sv, 1},
};

}  // namespace norvane::test
