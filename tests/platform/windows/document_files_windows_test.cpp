// Document files on a Windows file system: text in the ANSI code page comes back byte for
// byte and reads as Windows itself reads it, and a save keeps the promises of an atomic
// replace with Windows' own kinds of refusal (read-only files, folders, files held open).

#include "engine/document_file.h"
#include "engine/line_fixer.h"
#include "engine/text_encoding.h"
#include "reference.h"
#include "test_files.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace norvane {
namespace {
namespace fs = std::filesystem;
using namespace test::windows;
using test::readBytes;
using test::writeBytes;

// Every byte from 0x20 up, in lines ending in LF, with a tab and NUL among them.
std::string everyAnsiByte() {
    std::string bytes;
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        bytes += static_cast<char>(byte);
        if (byte % 16 == 15) bytes += '\n';
    }
    return bytes + "\t" + std::string(1, '\0') + "end\n";
}

// Windows' own reading of `bytes` in `codePage`, one UTF-16 unit per byte.
std::wstring windowsReading(std::string_view bytes, UINT codePage) {
    std::wstring text(bytes.size(), L'\0');
    const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                             static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The characters the document shows for its text.
std::wstring documentReading(const Document& document) {
    const std::string text = document.text();
    std::wstring shown;
    for (std::size_t at = 0; at < text.size();) {
        const DecodedCharacter c = decodeCharacter(document.format().encoding, std::span(text).subspan(at));
        shown += static_cast<wchar_t>(c.codePoint);
        at += c.length;
    }
    return shown;
}

class WindowsDocumentFile : public testing::Test {
protected:
    std::set<std::string> namesInFolder() const { return folder.names(); }

    // `action` fails with a FileError naming `path` and saying `reason`.
    static void expectFailure(const std::function<void()>& action, const fs::path& path, const std::string& reason) {
        try {
            action();
            ADD_FAILURE() << "no error for " << narrow(path.native());
        } catch (const platform::FileError& error) {
            const std::string message = error.what();
            std::string named = "\"";
            named += narrow(path.native());
            named += '"';
            EXPECT_NE(message.find(named), std::string::npos) << message;
            EXPECT_NE(message.find(reason), std::string::npos) << message;
        }
    }

    // The system's own description of `error`, as it stands in a message.
    static std::string systemMessage(DWORD error) {
        wchar_t* text = nullptr;
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring message = text ? text : L"";
        ::LocalFree(text);
        return narrow(message.substr(0, message.find_last_not_of(L"\r\n .") + 1));
    }

    test::TempFolder folder;
    const fs::path path = folder / L"Gr\u00F6\u00DFe \u20AC.txt";
};

TEST_F(WindowsDocumentFile, AnsiTextComesBackByteForByteAndReadsAsWindowsReadsIt) {
    const std::string bytes = everyAnsiByte();
    writeBytes(path, bytes);
    Document document = loadDocument(path);
    EXPECT_EQ(document.format(), (FileFormat{TextEncoding::Legacy, false}));
    EXPECT_TRUE(document.text() == bytes);
    EXPECT_EQ(documentReading(document), windowsReading(bytes, 1252)) << "the legacy code page is Windows-1252";
    if (::GetACP() == 1252) {
        EXPECT_EQ(documentReading(document), windowsReading(bytes, CP_ACP)) << "and the system's ANSI code page";
    }

    saveDocument(document, path);
    EXPECT_TRUE(readBytes(path) == bytes + "\r\n");
    writeBytes(path, bytes);
    document = loadDocument(path);
    fixLineEnds(document);
    saveDocument(document, path);
    EXPECT_TRUE(readBytes(path) == test::withCrBeforeEveryLf(bytes)) << "fixed, and already ending in CR LF";
    EXPECT_EQ(namesInFolder(), std::set<std::string>{narrow(path.filename().native())});
}

TEST_F(WindowsDocumentFile, EveryLegacyCharacterIsWrittenAsWindowsWritesIt) {
    for (int byte = 0; byte <= 0xFF; ++byte) {
        const char unit = static_cast<char>(byte);
        const std::wstring character = windowsReading(std::string_view(&unit, 1), 1252);
        ASSERT_EQ(character.size(), 1u);
        const auto stored = encodeCharacter(TextEncoding::Legacy, character[0]);
        ASSERT_TRUE(stored.has_value()) << byte;
        EXPECT_EQ(*stored, std::string(1, unit)) << byte;
    }
}

TEST_F(WindowsDocumentFile, ReplacedFileKeepsHiddenAndSystemAttributesAndNewFileGetsNone) {
    for (const DWORD attributes : {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}) {
        writeBytes(path, "old\n");
        ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes));
        Document document = loadDocument(path);
        fixLineEnds(document);
        saveDocument(document, path);
        EXPECT_EQ(readBytes(path), "old\r\n");
        EXPECT_EQ(::GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), attributes);
        EXPECT_EQ(namesInFolder(), std::set<std::string>{narrow(path.filename().native())});
        ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    }
    const fs::path fresh = folder / "fresh.txt";
    saveDocument(Document("new"), fresh);
    EXPECT_EQ(readBytes(fresh), "new\r\n");
    EXPECT_EQ(::GetFileAttributesW(fresh.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              0u);
}

TEST_F(WindowsDocumentFile, ReadOnlyFileIsRefusedAndLeftAsItWas) {
    writeBytes(path, "keep me\n");
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    Document document = loadDocument(path);  // reading is allowed
    fixLineEnds(document);
    expectFailure([&] { saveDocument(document, path); }, path, "read-only");
    EXPECT_EQ(readBytes(path), "keep me\n");
    EXPECT_TRUE(::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(namesInFolder(), std::set<std::string>{narrow(path.filename().native())});
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST_F(WindowsDocumentFile, FolderIsNeitherLoadedNorReplaced) {
    const fs::path sub = folder / "sub.txt";
    fs::create_directory(sub);
    writeBytes(sub / "inside.txt", "x");
    expectFailure([&] { loadDocument(sub); }, sub, "folder");
    expectFailure([&] { saveDocument(Document("text"), sub); }, sub, "folder");
    EXPECT_EQ(folder.names("sub.txt"), std::set<std::string>{"inside.txt"});
    EXPECT_EQ(namesInFolder(), std::set<std::string>{"sub.txt"});
}

TEST_F(WindowsDocumentFile, FailuresGiveTheSystemsReason) {
    const fs::path missing = folder / "missing.txt";
    expectFailure([&] { loadDocument(missing); }, missing, systemMessage(ERROR_FILE_NOT_FOUND));
    const fs::path nowhere = folder / "no folder" / "a.txt";
    expectFailure([&] { saveDocument(Document("text"), nowhere); }, nowhere, systemMessage(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(namesInFolder().empty());
}

TEST_F(WindowsDocumentFile, FileHeldOpenWithoutDeleteSharingIsLeftAsItWas) {
    writeBytes(path, "held\n");
    const HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Document document = loadDocument(path);  // reading shares the file
    fixLineEnds(document);
    expectFailure([&] { saveDocument(document, path); }, path, "");
    ::CloseHandle(held);
    EXPECT_EQ(readBytes(path), "held\n");
    // None of this program's temporary files is left. (Wine's ReplaceFileW may leave an empty
    // file of its own, named rf*.tmp, when it fails.)
    for (const std::string& name : namesInFolder())
        EXPECT_EQ(name.find(".norvane-"), std::string::npos) << name;
    // Once it is closed, the save goes through.
    saveDocument(document, path);
    EXPECT_EQ(readBytes(path), "held\r\n");
}

}  // namespace
}  // namespace norvane
