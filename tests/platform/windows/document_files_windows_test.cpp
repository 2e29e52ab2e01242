// Document files on a Windows file system: text in the ANSI code page comes back byte for
// byte and reads as Windows itself reads it, and a save keeps the promises of an atomic
// replace with Windows' own kinds of refusal (read-only files, folders, files held open).

#include "engine/document_file.h"
#include "engine/line_fixer.h"
#include "engine/text_encoding.h"
#include "reference.h"
#include "test_files.h"
#include "windows_test_support.h"

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

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

// Symbolic links for the tests. Wine can't make Windows links, but follows Unix links as
// Windows follows its own: there Unix's ln and rm make and remove them (Wine starts a Unix
// program as it is, though it can't wait for one, so the result is awaited instead). Under
// Windows itself, links are made where the user may make them.
class SymbolicLinks {
public:
    SymbolicLinks() {
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        // Through a function type that converts to any other without a warning.
        using AnyFunction = void (*)();
        unixName_ = reinterpret_cast<UnixName>(
            reinterpret_cast<AnyFunction>(::GetProcAddress(kernel, "wine_get_unix_file_name")));
        dosName_ = reinterpret_cast<DosName>(
            reinterpret_cast<AnyFunction>(::GetProcAddress(kernel, "wine_get_dos_file_name")));
    }
    SymbolicLinks(const SymbolicLinks&) = delete;

    // Removes the links while they still lead somewhere: to Wine, a Unix link to nothing is
    // no file at all.
    ~SymbolicLinks() {
        for (const fs::path& link : links_) {
            if (!unixName_) ::DeleteFileW(link.c_str());
            else runUnix("/bin/rm", L"-f " + asArgument(wide(unixPath(link))), [&] { return !exists(link); });
        }
    }

    // Makes `link` lead to `target`, a path absolute or relative to the link's folder.
    bool make(const fs::path& target, const fs::path& link) {
        if (!unixName_) {
            if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
                return false;
        } else {
            const std::string to = target.is_absolute() ? unixPath(target) : narrow(target.generic_wstring());
            runUnix("/bin/ln", L"-s " + asArgument(wide(to)) + L" " + asArgument(wide(unixPath(link))),
                    [&] { return exists(link); });
        }
        links_.push_back(link);
        EXPECT_TRUE(exists(link)) << "no link " << narrow(link.native());
        return true;
    }

private:
    using UnixName = char*(CDECL*)(const wchar_t*);
    using DosName = wchar_t*(CDECL*)(const char*);

    static bool exists(const fs::path& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::string unixPath(const fs::path& path) const {
        char* name = unixName_(path.c_str());
        const std::string text = name ? name : "";
        ::HeapFree(::GetProcessHeap(), 0, name);
        return text;
    }

    // Starts a Unix program and waits, within a bound, until `done` holds.
    void runUnix(const char* program, const std::wstring& arguments, const std::function<bool()>& done) const {
        wchar_t* dosName = dosName_(program);
        std::wstring commandLine = asArgument(dosName ? dosName : L"") + L" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        const bool started = ::CreateProcessW(dosName, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                              nullptr, &startup, &process);
        ::HeapFree(::GetProcessHeap(), 0, dosName);
        ASSERT_TRUE(started) << program;
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        for (DWORD waited = 0; !done() && waited < ProgramTimeout; waited += 10) ::Sleep(10);
    }

    UnixName unixName_ = nullptr;
    DosName dosName_ = nullptr;
    std::vector<fs::path> links_;
};

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

// Another program that looks for the file while it is saved always finds it: the new file
// takes the old one's place in one step.
TEST_F(WindowsDocumentFile, FileIsNeverMissingWhileItIsSaved) {
    writeBytes(path, "start\n");
    std::atomic<bool> saving{true};
    std::atomic<long> looks{0};
    std::atomic<long> missing{0};
    const HANDLE watching = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(watching, nullptr);
    std::thread watcher([&] {
        while (saving) {
            if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) ++missing;
            if (++looks == 1) ::SetEvent(watching);
        }
    });
    ASSERT_EQ(::WaitForSingleObject(watching, ProgramTimeout), WAIT_OBJECT_0);
    constexpr int Saves = 200;
    const long looksBefore = looks;
    for (int save = 0; save < Saves; ++save) saveDocument(Document("save " + std::to_string(save)), path);
    const long looksDuring = looks - looksBefore;
    saving = false;
    watcher.join();
    ::CloseHandle(watching);
    EXPECT_GT(looksDuring, 0) << "the watcher never looked while the file was saved";
    EXPECT_EQ(missing, 0) << "the file was missing " << missing << " times in " << looks << " looks during "
                          << Saves << " saves";
    EXPECT_EQ(readBytes(path), "save " + std::to_string(Saves - 1) + "\r\n");
    EXPECT_EQ(namesInFolder(), std::set<std::string>{narrow(path.filename().native())});
}

// The file's access list in the system's text form (SDDL).
std::wstring accessListOf(const fs::path& file) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    wchar_t* text = nullptr;
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &text, nullptr);
    std::wstring result = text ? text : L"(none)";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return result;
}

TEST_F(WindowsDocumentFile, ReplacedFileKeepsItsAccessList) {
    // Each row: an access list set on the file before it is saved, in SDDL.
    const std::vector<std::wstring> accessLists = {
        L"D:P(A;;FA;;;WD)",             // everyone may do everything, nothing from the folder
        L"D:P(A;;FA;;;BA)(A;;FR;;;WD)",  // administrators everything, everyone else reads
    };
    for (const std::wstring& accessList : accessLists) {
        SCOPED_TRACE(narrow(accessList));
        writeBytes(path, "old\n");
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(accessList.c_str(), SDDL_REVISION_1,
                                                                          &descriptor, nullptr));
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
        std::wstring name = path.native();
        ASSERT_EQ(::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                          nullptr, dacl, nullptr),
                  DWORD{ERROR_SUCCESS});
        ::LocalFree(descriptor);
        const std::wstring before = accessListOf(path);

        Document document = loadDocument(path);
        fixLineEnds(document);
        saveDocument(document, path);
        EXPECT_EQ(readBytes(path), "old\r\n");
        EXPECT_EQ(narrow(accessListOf(path)), narrow(before));
        EXPECT_EQ(namesInFolder(), std::set<std::string>{narrow(path.filename().native())});
    }
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

TEST_F(WindowsDocumentFile, LongNameSavesAndADeviceIsNeitherReadNorReplaced) {
    const fs::path longName = folder / (std::wstring(246, L'n') + L".txt");  // 250 characters
    writeBytes(longName, "old\n");
    saveDocument(Document("new"), longName);
    EXPECT_EQ(readBytes(longName), "new\r\n");
    EXPECT_EQ(namesInFolder(), std::set<std::string>{narrow(longName.filename().native())});
    // The reason differs between Windows and Wine (whose NUL is /dev/null); the refusal does not.
    EXPECT_THROW(loadDocument(L"NUL"), platform::FileError);
    EXPECT_THROW(saveDocument(Document("text"), L"NUL"), platform::FileError);
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
    EXPECT_EQ(namesInFolder(), std::set<std::string>{narrow(path.filename().native())}) << "no file is left behind";
    // Once it is closed, the save goes through.
    saveDocument(document, path);
    EXPECT_EQ(readBytes(path), "held\r\n");
}


TEST_F(WindowsDocumentFile, SavingThroughALinkReplacesTheFileItNames) {
    fs::create_directory(folder / "real");
    fs::create_directory(folder / "links");
    const fs::path target = folder / "real" / "target.txt";
    writeBytes(target, "old\n");
    const fs::path absolute = folder / "links" / "absolute.txt";
    const fs::path relative = folder / "links" / "relative.txt";
    SymbolicLinks links;
    if (!links.make(target, absolute) || !links.make("../real/target.txt", relative))
        GTEST_SKIP() << "this user may not make symbolic links";
    for (const fs::path& link : {absolute, relative}) {
        SCOPED_TRACE(narrow(link.native()));
        EXPECT_EQ(loadDocument(link).text(), readBytes(target));
        const std::string text = "through " + narrow(link.filename().native());
        saveDocument(Document(text), link);
        // The file behind the link has the new text, so the link still leads to it.
        EXPECT_EQ(readBytes(target), text + "\r\n");
        EXPECT_EQ(readBytes(link), text + "\r\n");
    }
    EXPECT_EQ(folder.names("real"), std::set<std::string>{"target.txt"});
    EXPECT_EQ(folder.names("links"), (std::set<std::string>{"absolute.txt", "relative.txt"}));
}

}  // namespace
}  // namespace norvane
