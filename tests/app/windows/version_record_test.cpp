// The version record, icon and manifest as Windows reads them from the built program: the console
// program beside this test carries the same resources as Norvane.exe. Each field read back
// is printed, so that a test log shows the record.

#include "engine/version_text.h"
#include "identity/identity.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {
namespace {

std::string utf8(std::wstring_view text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring programPath() {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return self.substr(0, self.find_last_of(L'\\')) + L"\\norvane_version_probe.exe";
}

// One node of the record as the file stores it: length, value length, type, key, value and
// children, each part aligned to four bytes.
struct Node {
    std::wstring key;
    std::vector<std::byte> value;
    std::vector<Node> children;
};

std::size_t aligned(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

WORD wordAt(const std::byte* at) {
    WORD word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

Node parseNode(const std::byte* at, std::size_t available) {
    Node node;
    const std::size_t length = std::min<std::size_t>(wordAt(at), available);
    const WORD valueLength = wordAt(at + 2);
    const WORD type = wordAt(at + 4);  // 1: text, whose value length counts characters
    std::size_t offset = 6;
    while (offset + 2 <= length && wordAt(at + offset) != 0) {
        node.key += static_cast<wchar_t>(wordAt(at + offset));
        offset += 2;
    }
    offset = aligned(offset + 2);
    const std::size_t valueBytes = std::min<std::size_t>(type == 1 ? valueLength * 2u : valueLength, length - std::min(offset, length));
    node.value.assign(at + offset, at + offset + valueBytes);
    offset = aligned(offset + valueBytes);
    while (offset + 6 <= length) {
        const std::size_t childLength = wordAt(at + offset);
        if (childLength == 0) break;
        node.children.push_back(parseNode(at + offset, length - offset));
        offset = aligned(offset + childLength);
    }
    return node;
}

const Node* childOf(const Node& node, std::wstring_view key) {
    for (const Node& child : node.children)
        if (child.key == key) return &child;
    return nullptr;
}

class VersionRecord : public testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << utf8(path) << " has no version record";
        data.resize(size);
        ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    }

    // The text of a field of the one string table, or nothing.
    std::optional<std::string> field(const std::wstring& name) {
        void* text = nullptr;
        UINT length = 0;
        if (!::VerQueryValueW(data.data(), (L"\\StringFileInfo\\040904B0\\" + name).c_str(), &text, &length))
            return std::nullopt;
        std::wstring value(static_cast<const wchar_t*>(text), length);
        while (!value.empty() && value.back() == L'\0') value.pop_back();
        return utf8(value);
    }

    const std::wstring path = programPath();
    std::vector<std::byte> data;
};

TEST_F(VersionRecord, NumbersFlagsSystemAndType) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const auto versionText = [](DWORD high, DWORD low) {
        return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) +
               "." + std::to_string(LOWORD(low));
    };
    const std::string expected = fullVersionText(identity::Version) + ".0";
    const std::string file = versionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    const std::string product = versionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    std::printf("record: numeric file version %s, product version %s\n", file.c_str(), product.c_str());
    EXPECT_EQ(file, expected);
    EXPECT_EQ(product, expected);
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "no file flags";
    EXPECT_EQ(fixed->dwFileOS, DWORD{VOS__WINDOWS32});
    EXPECT_EQ(fixed->dwFileType, DWORD{VFT_APP});
}

TEST_F(VersionRecord, OneUsEnglishUnicodeStringTableWithEveryField) {
    struct Field {
        const wchar_t* name;
        std::string_view value;
    };
    const Field fields[] = {
        {L"Comments", identity::Comments},
        {L"CompanyName", identity::CompanyName},
        {L"FileDescription", identity::FileDescription},
        {L"LegalCopyright", identity::LegalCopyright},
        {L"ProductName", identity::ProductName},
        {L"FileVersion", identity::FileVersion},
        {L"ProductVersion", identity::ProductVersion},
        {L"InternalName", identity::InternalName},
        {L"OriginalFilename", identity::OriginalFilename},
    };
    for (const Field& f : fields) {
        const auto text = field(f.name);
        std::printf("record: %s = \"%s\"\n", utf8(f.name).c_str(), text ? text->c_str() : "(missing)");
        EXPECT_EQ(text, std::string(f.value)) << utf8(f.name);
    }
    // The text version is the major number, a point and the minor number in two digits.
    char twoDigitMinor[16];
    std::snprintf(twoDigitMinor, sizeof twoDigitMinor, "%u.%02u", unsigned{identity::Major}, unsigned{identity::Minor});
    EXPECT_EQ(field(L"FileVersion"), std::string(twoDigitMinor));
    EXPECT_EQ(identity::Title, "Norvane");
    EXPECT_EQ(field(L"FileDescription"), std::string(identity::Title));
    EXPECT_EQ(field(L"OriginalFilename"), std::string(identity::Title) + ".exe");

    // The record as stored: the fields in this order, in the one table 040904B0, and the
    // translation entry 0x0409, 0x04B0.
    const Node root = parseNode(data.data(), data.size());
    EXPECT_EQ(utf8(root.key), "VS_VERSION_INFO");
    const Node* strings = childOf(root, L"StringFileInfo");
    ASSERT_TRUE(strings);
    ASSERT_EQ(strings->children.size(), 1u);
    EXPECT_EQ(utf8(strings->children[0].key), "040904B0");
    std::vector<std::string> order, expectedOrder;
    for (const Node& entry : strings->children[0].children) order.push_back(utf8(entry.key));
    for (const Field& f : fields) expectedOrder.push_back(utf8(f.name));
    EXPECT_EQ(order, expectedOrder);

    const Node* variables = childOf(root, L"VarFileInfo");
    ASSERT_TRUE(variables);
    const Node* translation = childOf(*variables, L"Translation");
    ASSERT_TRUE(translation);
    ASSERT_EQ(translation->value.size(), 4u) << "one language and code page pair";
    const WORD language = wordAt(translation->value.data()), codePage = wordAt(translation->value.data() + 2);
    std::printf("record: translation 0x%04X, 0x%04X\n", language, codePage);
    EXPECT_EQ(language, 0x0409);
    EXPECT_EQ(codePage, 0x04B0);
}

// The program's icon: one group with every size from 256 px down to 16, each in full colour
// (32 bits a pixel), the 256 px image PNG-compressed and the others bitmaps.
TEST_F(VersionRecord, IconGroupHoldsEverySizeInFullColour) {
    const HMODULE program = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    std::vector<std::wstring> groups;
    ::EnumResourceNamesW(
        program, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL {
            reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(
                IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name));
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_EQ(groups.size(), 1u);
    const HRSRC found = ::FindResourceW(program, groups[0].c_str(), MAKEINTRESOURCEW(14));
    ASSERT_TRUE(found);
    const auto* group = static_cast<const std::byte*>(::LockResource(::LoadResource(program, found)));
    ASSERT_TRUE(group);
    ASSERT_EQ(wordAt(group + 2), 1) << "an icon group";
    const WORD count = wordAt(group + 4);
    std::vector<std::string> images;
    for (WORD i = 0; i < count; ++i) {
        const std::byte* entry = group + 6 + 14 * i;  // width, height, colours, reserved, planes, bits, size, id
        const int width = std::to_integer<int>(entry[0]) ? std::to_integer<int>(entry[0]) : 256;
        const int height = std::to_integer<int>(entry[1]) ? std::to_integer<int>(entry[1]) : 256;
        std::string image = std::to_string(width) + "x" + std::to_string(height) + ", " +
                            std::to_string(wordAt(entry + 6)) + " bits";
        // The image itself: a PNG, or a bitmap whose header gives its depth again.
        const HRSRC icon = ::FindResourceW(program, MAKEINTRESOURCEW(wordAt(entry + 12)), MAKEINTRESOURCEW(3));
        ASSERT_TRUE(icon) << image;
        const auto* data = static_cast<const std::byte*>(::LockResource(::LoadResource(program, icon)));
        const DWORD size = ::SizeofResource(program, icon);
        ASSERT_GE(size, 40u) << image;
        if (std::memcmp(data, "\x89PNG", 4) == 0) image += ", PNG";
        else image += ", bitmap of " + std::to_string(wordAt(data + 14)) + " bits";
        images.push_back(image);
    }
    EXPECT_EQ(images, (std::vector<std::string>{
                          "256x256, 32 bits, PNG", "128x128, 32 bits, bitmap of 32 bits",
                          "64x64, 32 bits, bitmap of 32 bits", "48x48, 32 bits, bitmap of 32 bits",
                          "32x32, 32 bits, bitmap of 32 bits", "16x16, 32 bits, bitmap of 32 bits"}));
    ::FreeLibrary(program);
}

// The application manifest as the system reads it when it starts the program: the system
// accepts it and finds in it the DPI awareness, the common controls of version 6 and the
// Windows versions the program is made for.
TEST_F(VersionRecord, ManifestIsReadByTheSystem) {
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);  // CREATEPROCESS_MANIFEST_RESOURCE_ID
    const HANDLE context = ::CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "the system refuses the manifest: error " << ::GetLastError();
    // Each row: the setting's namespace, its name, its value.
    const struct {
        const wchar_t* space;
        const wchar_t* name;
        std::string_view value;
    } settings[] = {
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", "PerMonitorV2, PerMonitor"},
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", "true/pm"},
    };
    for (const auto& expected : settings) {
        wchar_t setting[64] = {};
        SIZE_T length = 0;
        EXPECT_TRUE(::QueryActCtxSettingsW(0, context, expected.space, expected.name, setting, std::size(setting),
                                           &length))
            << utf8(expected.name) << ": error " << ::GetLastError();
        std::printf("record: manifest %s \"%s\"\n", utf8(expected.name).c_str(), utf8(setting).c_str());
        EXPECT_EQ(utf8(setting), expected.value);
    }
    ::ReleaseActCtx(context);

    const HMODULE program = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    const HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
    ASSERT_TRUE(found);
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(program, found))),
                               ::SizeofResource(program, found));
    ::FreeLibrary(program);
    for (const std::string_view part : {
             std::string_view(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"),
             std::string_view(R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)"),  // Windows 10 and 11
             std::string_view(R"(<requestedExecutionLevel level="asInvoker")"),
         })
        EXPECT_NE(manifest.find(part), std::string::npos) << "the manifest lacks " << part;
}

}  // namespace
}  // namespace norvane
