// Every code point's width in cells against the Unicode data files the build wrote the
// pane's table from (Debian's unicode-data package), read here on their own: the table and
// its lookup must say what the files say.
#include "ui/pane/char_width.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace norvane::ui {
namespace {

constexpr char32_t LastCodePoint = 0x10FFFF;
const std::filesystem::path DataFolder = NORVANE_UNICODE_DATA;

struct Entry {
    char32_t first, last;
    std::string value;
};

std::string trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    return begin == std::string::npos ? std::string() : text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// The entries of a property file: "CODE[..CODE];VALUE # comment" lines.
std::vector<Entry> propertyEntries(const std::filesystem::path& path) {
    std::vector<Entry> entries;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const std::string data = trimmed(line.substr(0, line.find('#')));
        if (data.empty()) continue;
        const auto semicolon = data.find(';');
        const std::string codes = trimmed(data.substr(0, semicolon));
        const auto dots = codes.find("..");
        const auto first = static_cast<char32_t>(std::stoul(codes.substr(0, dots), nullptr, 16));
        const auto last = dots == std::string::npos ? first : static_cast<char32_t>(std::stoul(codes.substr(dots + 2), nullptr, 16));
        entries.push_back({first, last, trimmed(data.substr(semicolon + 1))});
    }
    return entries;
}

// The general categories of UnicodeData.txt, whose "<..., First>" and "<..., Last>" lines
// bound a range.
std::vector<Entry> generalCategories(const std::filesystem::path& path) {
    std::vector<Entry> entries;
    std::ifstream in(path);
    char32_t rangeFirst = 0;
    bool inRange = false;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, ';');) fields.push_back(field);
        if (fields.size() < 3) continue;
        const auto code = static_cast<char32_t>(std::stoul(fields[0], nullptr, 16));
        if (fields[1].ends_with(", First>")) {
            rangeFirst = code;
            inRange = true;
            continue;
        }
        entries.push_back({inRange ? rangeFirst : code, code, fields[2]});
        inRange = false;
    }
    return entries;
}

// The ranges the header of EastAsianWidth.txt gives the width W for code points it does not list.
std::vector<Entry> defaultWideRanges(const std::filesystem::path& path) {
    std::vector<Entry> entries;
    std::ifstream in(path);
    bool defaults = false;
    for (std::string line; std::getline(in, line) && line.starts_with('#');) {
        if (line.find("default to \"W\"") != std::string::npos) defaults = true;
        const auto range = line.find("U+");
        const auto dots = line.find("..U+", range);
        if (!defaults || range == std::string::npos || dots == std::string::npos) continue;
        entries.push_back({static_cast<char32_t>(std::stoul(line.substr(range + 2), nullptr, 16)),
                           static_cast<char32_t>(std::stoul(line.substr(dots + 4), nullptr, 16)), "W"});
    }
    return entries;
}

TEST(CharWidth, EveryCodePointTakesTheCellsTheUnicodeDataGiveIt) {
    const char* files[] = {"UnicodeData.txt", "EastAsianWidth.txt", "HangulSyllableType.txt"};
    for (const char* file : files)
        if (!std::filesystem::exists(DataFolder / file))
            GTEST_SKIP() << (DataFolder / file).string() << " is missing (Debian package unicode-data)";

    // One cell unless a rule below says otherwise; the later rules win.
    std::vector<int> expected(LastCodePoint + 1, 1);
    const auto set = [&](const Entry& entry, int cells) {
        std::fill(expected.begin() + entry.first, expected.begin() + entry.last + 1, cells);
    };
    // East Asian Wide and Fullwidth: two cells, the defaults for unlisted code points first.
    const std::vector<Entry> defaults = defaultWideRanges(DataFolder / "EastAsianWidth.txt");
    ASSERT_FALSE(defaults.empty());
    for (const Entry& entry : defaults) set(entry, 2);
    for (const Entry& entry : propertyEntries(DataFolder / "EastAsianWidth.txt"))
        set(entry, entry.value == "W" || entry.value == "F" ? 2 : 1);
    // Combining marks, and Hangul medial vowels and final consonants: none.
    for (const Entry& entry : generalCategories(DataFolder / "UnicodeData.txt"))
        if (entry.value == "Mn" || entry.value == "Me") set(entry, 0);
    for (const Entry& entry : propertyEntries(DataFolder / "HangulSyllableType.txt"))
        if (entry.value == "V" || entry.value == "T") set(entry, 0);

    int mismatches = 0;
    for (char32_t c = 0; c <= LastCodePoint && mismatches < 20; ++c) {
        if (cellsOf(c) != expected[c]) {
            ++mismatches;
            ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned long>(c) << ": " << cellsOf(c) << " cells, the data say "
                          << expected[c];
        }
    }
}

}  // namespace
}  // namespace norvane::ui
