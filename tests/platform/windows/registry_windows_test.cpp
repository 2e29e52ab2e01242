// The registry lookup against a real registry: values written by the system's reg.exe (as
// `wine reg add` writes them) and read back through SystemRegistry.

#include "platform/registry.h"
#include "windows_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace norvane::platform {
namespace {
using namespace test::windows;

constexpr auto Machine = RegistryRoot::LocalMachine;
constexpr auto User = RegistryRoot::CurrentUser;

// A key of its own under HKLM\Software (and the same path under HKCU), deleted at the end.
class RegistryValues : public testing::Test {
protected:
    RegistryValues() : key(L"Software\\Norvane Tests\\" + std::to_wstring(::GetCurrentProcessId())) {}

    ~RegistryValues() override {
        for (const wchar_t* root : {L"HKLM\\", L"HKCU\\"})
            if (reg(L"query " + asArgument(root + key)) == 0) reg(L"delete " + asArgument(root + key) + L" /f");
    }

    // Writes the value `name` with reg.exe; `type` and `data` as reg.exe takes them.
    void add(const std::wstring& name, const std::wstring& type, const std::wstring& data,
             const wchar_t* root = L"HKLM\\") {
        ASSERT_EQ(reg(L"add " + asArgument(root + key) + L" /v " + asArgument(name) + L" /t " + type + L" /d " + asArgument(data) +
                      L" /f"),
                  0u)
            << narrow(name);
    }

    // Reads the value `name` through the lookup, starting from text that a read must replace.
    std::string lookup(const std::string& name, bool expected, RegistryRoot root = Machine,
                       std::string keyName = {}) const {
        if (keyName.empty()) keyName = narrow(key);
        std::string text = "left over";
        EXPECT_EQ(SystemRegistry().getKeyValue(root, keyName, name, text), expected) << keyName << " " << name;
        return text;
    }

    const std::wstring key;
};

TEST_F(RegistryValues, StringsAreReadAsStoredAndExpandableOnesExpanded) {
    add(L"Plain", L"REG_SZ", L"C:\\Program Files\\Tools\\msinfo32.exe");
    add(L"Unicode", L"REG_SZ", L"C:\\Système\\Größe \u20AC\\tool.exe");
    add(L"Folder", L"REG_SZ", L"C:\\Windows\\System32\\");
    add(L"Expandable", L"REG_EXPAND_SZ", L"%SystemRoot%\\System32\\msinfo32.exe");
    EXPECT_EQ(lookup("Plain", true), "C:\\Program Files\\Tools\\msinfo32.exe");
    EXPECT_EQ(lookup("Unicode", true), "C:\\Syst\xC3\xA8me\\Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC\\tool.exe");
    EXPECT_EQ(lookup("Folder", true), "C:\\Windows\\System32\\");
    std::wstring systemRoot(MAX_PATH, L'\0');
    systemRoot.resize(::GetEnvironmentVariableW(L"SystemRoot", systemRoot.data(), MAX_PATH));
    ASSERT_FALSE(systemRoot.empty());
    EXPECT_EQ(lookup("Expandable", true), narrow(systemRoot + L"\\System32\\msinfo32.exe"));
    // Names are compared as the registry compares them: without regard to case.
    EXPECT_EQ(lookup("PLAIN", true, Machine, "SOFTWARE\\norvane tests\\" + std::to_string(::GetCurrentProcessId())),
              "C:\\Program Files\\Tools\\msinfo32.exe");
}

TEST_F(RegistryValues, NumbersEmptyValuesAndOtherTypes) {
    add(L"Answer", L"REG_DWORD", L"42");
    add(L"Largest", L"REG_DWORD", L"0xffffffff");
    add(L"Zero", L"REG_DWORD", L"0");
    add(L"Empty", L"REG_SZ", L"");
    add(L"Binary", L"REG_BINARY", L"0102ff");
    add(L"Several", L"REG_MULTI_SZ", L"a\\0b");
    EXPECT_EQ(lookup("Answer", true), "42");
    EXPECT_EQ(lookup("Largest", true), "4294967295");
    EXPECT_EQ(lookup("Zero", true), "0");
    EXPECT_EQ(lookup("Empty", true), "");
    EXPECT_EQ(lookup("Binary", true), "left over") << "read, but no text to give";
    EXPECT_EQ(lookup("Several", true), "left over");

    // A string stored with no data bytes at all, not even a terminating zero: reg.exe can't
    // write one, so the system call does.
    HKEY opened = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &opened), ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(opened, L"NoData", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    ::RegCloseKey(opened);
    EXPECT_EQ(lookup("NoData", true), "");
}

TEST_F(RegistryValues, ValueMustFitTheBufferWithItsTerminatingZero) {
    const std::wstring longest(RegistryValueCapacity - 1, L'x');
    add(L"Longest", L"REG_SZ", longest);
    add(L"TooLong", L"REG_SZ", longest + L"y");
    add(L"Huge", L"REG_SZ", std::wstring(5000, L'z'));
    EXPECT_EQ(lookup("Longest", true), narrow(longest));
    EXPECT_EQ(lookup("TooLong", false), "");
    EXPECT_EQ(lookup("Huge", false), "");
}

TEST_F(RegistryValues, MissingKeysAndValuesAndTheOtherRoot) {
    add(L"Here", L"REG_SZ", L"machine");
    add(L"Here", L"REG_SZ", L"user", L"HKCU\\");
    add(L"OnlyForTheUser", L"REG_SZ", L"user", L"HKCU\\");
    EXPECT_EQ(lookup("Missing", false), "");
    EXPECT_EQ(lookup("Here", false, Machine, narrow(key) + "\\No Such Key"), "");
    EXPECT_EQ(lookup("Here", false, Machine, "Software\\No Such Key For Norvane"), "");
    EXPECT_EQ(lookup("Here", true), "machine");
    EXPECT_EQ(lookup("Here", true, User), "user");
    EXPECT_EQ(lookup("OnlyForTheUser", false), "");
    EXPECT_EQ(lookup("OnlyForTheUser", true, User), "user");
}

}  // namespace
}  // namespace norvane::platform
