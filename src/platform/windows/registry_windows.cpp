#include "platform/registry.h"

#include "platform/registry_value.h"
#include "platform/windows/wide_text.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace norvane::platform {
namespace {

// Closes an opened key on every way out, exceptions included.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey() {
        if (key_) ::RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A predefined root key's handle, sign-extended as the system headers define them.
HKEY rootKey(RegistryRoot root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(static_cast<std::uint32_t>(root))));
}

std::wstring expandEnvironmentVariables(const std::wstring& text) {
    std::wstring expanded(text.size() + 1, L'\0');
    for (;;) {
        const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (needed == 0) throw std::runtime_error("environment variables can't be expanded");
        if (needed <= expanded.size()) {
            expanded.resize(needed - 1);  // the count includes the terminating zero
            return expanded;
        }
        expanded.assign(needed, L'\0');
    }
}

}  // namespace

// The key is opened with the right to query values and nothing else, so that users who
// may only read it can. The value must fit a buffer of RegistryValueCapacity UTF-16
// characters; a longer one is a failed read (ERROR_MORE_DATA).
bool SystemRegistry::getKeyValue(RegistryRoot root, const std::string& keyName, const std::string& subKeyRef,
                                 std::string& keyVal) const {
    OpenKey key;
    if (::RegOpenKeyExW(rootKey(root), windows::wide(keyName).c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS) {
        keyVal.clear();
        return false;
    }
    std::array<std::byte, RegistryValueCapacity * sizeof(wchar_t)> buffer{};
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    if (::RegQueryValueExW(key.get(), windows::wide(subKeyRef).c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
        keyVal.clear();
        return false;
    }
    const auto text = registryValueText(type, std::span<const std::byte>(buffer.data(), size));
    if (!text) return true;
    std::wstring wideText(text->begin(), text->end());
    if (type == REG_EXPAND_SZ) wideText = expandEnvironmentVariables(wideText);
    keyVal = windows::narrow(wideText);
    return true;
}

}  // namespace norvane::platform
