#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace norvane::platform {

// Predefined root keys of the Windows registry, by their handle values.
enum class RegistryRoot : std::uint32_t {
    CurrentUser = 0x80000001,
    LocalMachine = 0x80000002,
};

// Reads single values of registry keys as text. Keys are opened for reading only.
class Registry {
public:
    virtual ~Registry() = default;

    // Reads the value `subKeyRef` of the key `keyName` below `root` into `keyVal` and returns
    // true. A string value gives its text without a terminating zero (an expandable string
    // with its variables expanded), a 32-bit number its decimal text, and a value with no
    // data the empty string; a value of any other type is a successful read that leaves
    // `keyVal` as it came in. When the key or the value can't be read, or the value holds
    // more than RegistryValueCapacity characters, `keyVal` becomes empty and the result is
    // false. Text is UTF-8. May throw when the system fails in an unexpected way.
    virtual bool getKeyValue(RegistryRoot root, const std::string& keyName, const std::string& subKeyRef,
                             std::string& keyVal) const = 0;
};

// A value of a registry key, by the key's path below its root and the value's name.
struct RegistryValueName {
    std::string_view key, value;
};

// Where the system-information program (MSINFO32.EXE) is registered below LocalMachine:
// its full path, or else the folder that holds it.
inline constexpr RegistryValueName SystemInformationPath{R"(SOFTWARE\Microsoft\Shared Tools\MSINFO)", "PATH"};
inline constexpr RegistryValueName SystemInformationFolder{R"(SOFTWARE\Microsoft\Shared Tools Location)", "MSINFO"};

// The longest value read, in characters, its terminating zero included.
inline constexpr std::size_t RegistryValueCapacity = 1024;

// The registry of this system. Where there is no registry, only the one value the About
// box's system-information button looks for is answered (see registry_posix.cpp).
class SystemRegistry final : public Registry {
public:
    bool getKeyValue(RegistryRoot root, const std::string& keyName, const std::string& subKeyRef,
                     std::string& keyVal) const override;
};

}  // namespace norvane::platform
