#include "engine/document_file.h"

#include "engine/line_fixer.h"
#include "reference.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace std::literals;

namespace norvane {
namespace {
using test::readBytes;
using test::writeBytes;

// A file loaded and saved unchanged gets one closing CR LF, unless it already ends in one.
std::string withClosingCrLf(std::string bytes) { return bytes.ends_with("\r\n") ? bytes : bytes + "\r\n"; }

std::string utf16Bytes(std::u16string_view units, bool bigEndian) {
    std::string bytes;
    for (char16_t unit : units) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

class DocumentFile : public testing::Test {
protected:
    // Writes `bytes` to a file, loads it and saves it back; returns what is then on disk.
    std::string loadAndSave(std::string_view bytes) {
        writeBytes(path, bytes);
        saveDocument(loadDocument(path), path);
        return readBytes(path);
    }

    test::TempFolder folder;
    const std::filesystem::path path = folder / "doc.txt";
};

TEST_F(DocumentFile, LoadAndSaveKeepEveryByte) {
    std::mt19937 random(99);
    const std::vector<std::string_view> invalidUtf8 = {"\r", "\n", "\0"sv, "\x80", "\xFF", "\xC3", "a"};
    const std::vector<std::string_view> utf8 = {"a", "\n", "\r\n", "\0"sv, "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    for (int trial = 0; trial < 200; ++trial) {
        const std::size_t size = trial == 0 ? (2u << 20) : random() % 700;
        std::string bytes = trial % 4 == 0 ? test::randomBytes(random, size) : trial % 4 == 3 ? "\xEF\xBB\xBF" : "";
        const auto& pieces = trial % 4 == 1 ? invalidUtf8 : utf8;
        while (bytes.size() < size) bytes += pieces[random() % pieces.size()];
        if (bytes.size() % 2 == 0 && (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")))
            bytes[0] = 'x';  // UTF-16 files have tests of their own
        ASSERT_TRUE(loadAndSave(bytes) == withClosingCrLf(bytes)) << "trial " << trial;
    }
}

// Saving with bare LFs fixed, as --fix does: a CR goes in front of every LF that has none,
// wherever the pieces of the text begin and end, in every encoding; doing it again
// changes nothing.
TEST_F(DocumentFile, SavingWithBareLineFeedsFixedLeavesCrLfAsItIs) {
    auto reference = [](std::string_view text) {
        std::string fixed;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) fixed += '\r';
            fixed += text[i];
        }
        return fixed.ends_with('\n') ? fixed : fixed + "\r\n";
    };
    std::mt19937 random(7);
    for (int trial = 0; trial < 60; ++trial) {
        std::string text;
        const std::size_t size = trial == 0 ? 0 : trial < 40 ? random() % 200 : random() % (1 << 20);
        while (text.size() < size) text += "\r\nab"[random() % 4];
        Document document(text);
        // Edits cut the text into pieces that end anywhere, between a CR and its LF too.
        for (int edit = 0; edit < 20 && !text.empty(); ++edit) {
            const std::size_t at = random() % text.size();
            document.replace(at, 1, text.substr(at, 1));
        }
        const FileFormat formats[] = {{TextEncoding::Utf8, false}, {TextEncoding::Utf16BigEndian, true}};
        const FileFormat format = formats[trial % 2];
        Document formatted(TextStore(), format);
        formatted.setText(document.text());
        saveDocument(format.encoding == TextEncoding::Utf8 ? document : formatted, path, {}, LineEnds::BareLineFeedsFixed);
        const std::string expected = reference(text);
        if (format.encoding == TextEncoding::Utf8) {
            ASSERT_EQ(readBytes(path), expected) << "trial " << trial;
        } else {
            ASSERT_EQ(readBytes(path), "\xFE\xFF" + utf16Bytes(std::u16string(expected.begin(), expected.end()), true))
                << "trial " << trial;
        }
        const Document again = loadDocument(path);
        EXPECT_EQ(bareLineFeedCount(again), 0u);
        const std::string saved = readBytes(path);
        saveDocumentOver(again, again.origin(), {}, LineEnds::BareLineFeedsFixed);
        ASSERT_EQ(readBytes(path), saved) << "trial " << trial;
    }
}

TEST_F(DocumentFile, FileEndsInExactlyOneClosingCrLf) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", "\r\n"}, {"a", "a\r\n"}, {"a\r\n", "a\r\n"}, {"a\n", "a\n\r\n"}, {"a\r", "a\r\r\n"}, {"\n\r", "\n\r\r\n"},
    };
    for (auto [original, saved] : cases) {
        EXPECT_EQ(loadAndSave(original), saved);
        EXPECT_EQ(loadAndSave(saved), saved);  // saving again adds nothing
    }
}

TEST_F(DocumentFile, DetectsTheFormat) {
    struct Case {
        std::string_view bytes;
        TextEncoding encoding;
        bool mark;
        std::string_view text;
    };
    using enum TextEncoding;
    const Case cases[] = {
        {"", Utf8, false, ""},
        {"caf\xC3\xA9\n", Utf8, false, "caf\xC3\xA9\n"},
        {"\xEF\xBB\xBFhi", Utf8, true, "hi"},
        {"\xEF\xBB\xBF", Utf8, true, ""},
        {"caf\xE9", Legacy, false, "caf\xE9"},
        {"\xEF\xBB\xBF\xE9", Legacy, false, "\xEF\xBB\xBF\xE9"},
        {"\xED\xA0\x80", Legacy, false, "\xED\xA0\x80"},          // an encoded surrogate
        {"\xC0\xAF", Legacy, false, "\xC0\xAF"},                  // an overlong form
        {"\xF4\x90\x80\x80", Legacy, false, "\xF4\x90\x80\x80"},  // beyond U+10FFFF
        {"a\xC3", Legacy, false, "a\xC3"},                        // cut short
        {"\xFF\xFEh\0i\0"sv, Utf16LittleEndian, true, "hi"},
        {"\xFE\xFF\0h\0i"sv, Utf16BigEndian, true, "hi"},
        {"\xFF\xFE", Utf16LittleEndian, true, ""},
        {"\xFF\xFEh", Legacy, false, "\xFF\xFEh"},                // odd length
        {"\xFE\xFF\0"sv, Legacy, false, "\xFE\xFF\0"sv},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        writeBytes(path, c.bytes);
        const Document document = loadDocument(path);
        EXPECT_EQ(document.format(), (FileFormat{c.encoding, c.mark}));
        EXPECT_EQ(document.text(), c.text);
        if (c.encoding == Utf8 || c.encoding == Legacy) {
            EXPECT_EQ(loadAndSave(c.bytes), withClosingCrLf(std::string(c.bytes)));
        }
    }
}

TEST_F(DocumentFile, FixedUtf16FileGetsCrLfAsTwoUnits) {
    for (bool bigEndian : {false, true}) {
        writeBytes(path, utf16Bytes(u"\uFEFFa\nb\u00E9\n\U0001F600\n\u20AC", bigEndian));
        Document document = loadDocument(path);
        EXPECT_EQ(document.text(), "a\nb\xC3\xA9\n\xF0\x9F\x98\x80\n\xE2\x82\xAC");
        fixLineEnds(document);
        EXPECT_EQ(document.lineCount(), 4u);
        saveDocument(document, path);
        EXPECT_EQ(readBytes(path), utf16Bytes(u"\uFEFFa\r\nb\u00E9\r\n\U0001F600\r\n\u20AC\r\n", bigEndian));
    }
}

TEST_F(DocumentFile, Utf16KeepsEveryUnitEvenUnpairedSurrogates) {
    std::mt19937 random(16);
    for (int trial = 0; trial < 100; ++trial) {
        std::u16string units = trial < 2 ? u"\uFEFF\xDC00 a\xD800\xDBFF\xDFFF\xDC00\xDC00\xD800" : u"\uFEFF";
        for (std::size_t count = random() % 300; count > 0; --count) {
            const auto kind = random() % 4;
            units += kind == 0 ? static_cast<char16_t>(0xD800 + random() % 0x800)
                               : kind == 1 ? u"\r\n"[random() % 2] : static_cast<char16_t>(random());
        }
        const bool bigEndian = trial % 2;
        const std::string bytes = utf16Bytes(units, bigEndian);
        ASSERT_EQ(loadAndSave(bytes), bytes + utf16Bytes(units.ends_with(u"\r\n") ? u"" : u"\r\n", bigEndian));
    }
}

TEST_F(DocumentFile, FixingAnLfFileGivesWhatUnix2dosGives) {
    std::mt19937 random(3);
    std::string big;
    while (big.size() < (5u << 20)) big.append(random() % 90, 'x') += '\n';
    const std::pair<std::string, std::string> cases[] = {
        {"one\ntwo\n\nlast\n", "one\r\ntwo\r\n\r\nlast\r\n"},
        {"\nstarts with a line feed", "\r\nstarts with a line feed\r\n"},
        {big, test::withCrBeforeEveryLf(big)},
    };
    for (const auto& [original, fixed] : cases) {
        writeBytes(path, original);
        Document document = loadDocument(path);
        fixLineEnds(document);
        saveDocument(document, path);
        ASSERT_TRUE(readBytes(path) == fixed) << original.substr(0, 40);
    }
    // A document edited near its end, with text on both sides of the edit, is saved as it reads.
    Document document = loadDocument(path);
    const std::string& fixed = cases[2].second;
    const std::size_t at = fixed.size() - 100;
    document.replace(at, 2, "\n");
    saveDocument(document, path);
    EXPECT_TRUE(readBytes(path) == fixed.substr(0, at) + "\n" + fixed.substr(at + 2));
}

TEST_F(DocumentFile, MissingFileFolderAndEmptyFile) {
    for (const auto& bad : {folder / "missing.txt", folder.path})
        test::expectFileError([&] { loadDocument(bad); }, bad);
    writeBytes(path, "");
    const Document document = loadDocument(path);
    EXPECT_EQ(document.text(), "");
    EXPECT_EQ(document.lineCount(), 1u);
    test::expectFileError([&] { saveDocument(document, folder / "missing" / "a.txt"); }, folder / "missing" / "a.txt");
    EXPECT_EQ(folder.names(), std::set<std::string>{"doc.txt"});
}

TEST_F(DocumentFile, SaveFailingHalfWayLeavesTheOldFile) {
    writeBytes(path, "old contents\r\n");
    auto expectSaveFails = [&](const Document& document) {
        test::expectFileError([&] { saveDocument(document, path); }, path);
        EXPECT_EQ(readBytes(path), "old contents\r\n");
        EXPECT_EQ(folder.names(), std::set<std::string>{"doc.txt"});
    };
    // Units that UTF-16 cannot store, behind megabytes that it can.
    expectSaveFails(Document(std::string(3u << 20, 'a') + "\xFF", {TextEncoding::Utf16LittleEndian, true}));
#ifndef _WIN32
    const test::FileSizeLimit limit(64 << 10);
    expectSaveFails(Document(std::string(1u << 20, 'b')));
#endif
}

#ifndef _WIN32
// A large file's text is read from the file as mapped. Another program changing the file
// meanwhile never ends the program: the document reports it and refuses to save over the
// file, leaving it as that program left it, but saves elsewhere. A file replaced by a new one
// (as editors save) leaves the document's text whole. A small file is read whole when opened:
// a later change leaves the text whole, and the text is saved as asked.
TEST_F(DocumentFile, FileChangedWhileOpenIsReportedAndNotSavedOver) {
    struct Row {
        const char* what;
        std::function<void(const std::filesystem::path&)> change;
        bool reported;
    };
    const Row rows[] = {
        {"cut short", [](const std::filesystem::path& file) { std::filesystem::resize_file(file, 1000); }, true},
        {"emptied", [](const std::filesystem::path& file) { std::filesystem::resize_file(file, 0); }, true},
        {"written to in place",
         [](const std::filesystem::path& file) {
             std::fstream stream(file, std::ios::binary | std::ios::in | std::ios::out);
             stream.seekp(5000);
             stream.write("changed", 7);
         },
         true},
        {"replaced by a new file",
         [](const std::filesystem::path& file) {
             writeBytes(file.string() + ".new", "new file");
             std::filesystem::rename(file.string() + ".new", file);
         },
         false},
    };
    for (const std::size_t size : {std::size_t{3} << 20, std::size_t{8} << 10})
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.what) + ", " + std::to_string(size) + " bytes");
        std::string original;
        for (int line = 0; original.size() < size; ++line) original += "line " + std::to_string(line) + "\n";
        const bool mapped = size > (1u << 20);
        writeBytes(path, original);
        const std::string report = test::runInChild([&]() -> std::string {
            Document document = loadDocument(path);
            fixLineEnds(document);
            if (document.sourceChanged()) return "changed before the change";
            const std::string onDisk = readBytes(path);  // as the file stands before the change
            row.change(path);
            const std::string text = document.text();  // reads every page, lost ones too
            const bool whole = text == test::withCrBeforeEveryLf(original);
            const std::string changed = readBytes(path);
            try {
                saveDocument(document, path);
            } catch (const platform::FileError& error) {
                if (readBytes(path) != changed) return "refused, but the file was written";
                // Saved elsewhere, the edits are kept.
                saveDocument(document, folder / "elsewhere.txt");
                if (readBytes(folder / "elsewhere.txt").size() < text.size()) return "not saved elsewhere";
                std::filesystem::remove(folder / "elsewhere.txt");
                return std::string(document.sourceChanged() ? "reported" : "not reported") + ", refused: " +
                       error.what();
            }
            return std::string(document.sourceChanged() ? "reported" : "not reported") + ", saved " +
                   (whole && readBytes(path) == test::withCrBeforeEveryLf(original) ? "whole" : "damaged") +
                   (onDisk == original ? "" : ", read wrongly");
        });
        if (row.reported && mapped) {
            EXPECT_TRUE(report.starts_with("reported, refused: ")) << report;
            EXPECT_NE(report.find(path.string()), std::string::npos) << report;
        } else {
            EXPECT_EQ(report, "not reported, saved whole");
        }
    }
}

// Saving in place over the file that the document reads from (a file with a second hard
// link) writes the text the document shows, not the bytes it is overwriting, and the
// document still shows that text afterwards.
TEST_F(DocumentFile, SavingInPlaceOverItsOwnFileWritesTheWholeText) {
    std::mt19937 random(5);
    std::string original;
    while (original.size() < (6u << 20)) original.append(random() % 60, 'a' + static_cast<char>(random() % 26)) += '\n';
    const std::string fixed = test::withCrBeforeEveryLf(original);
    writeBytes(path, original);
    std::filesystem::create_hard_link(path, folder / "link.txt");
    Document document = loadDocument(folder / "link.txt");
    fixLineEnds(document);
    saveDocument(document, path);
    EXPECT_TRUE(readBytes(path) == fixed);  // it ends in CR LF: nothing is added
    EXPECT_TRUE(readBytes(folder / "link.txt") == fixed);  // still the same file
    EXPECT_FALSE(document.sourceChanged());
    EXPECT_TRUE(document.text() == fixed);
}
#endif

}  // namespace
}  // namespace norvane
