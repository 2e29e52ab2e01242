#pragma once

// Conversions between this program's UTF-8 text and the UTF-16 text of the system's wide
// functions.

#include <windows.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace norvane::platform::windows {

// Throws std::runtime_error for text that is not valid UTF-8.
inline std::wstring wide(std::string_view text) {
    if (text.empty()) return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
    if (size <= 0) throw std::runtime_error("text is not valid UTF-8");
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), result.data(),
                          size);
    return result;
}

// Unpaired surrogates, which UTF-8 can't hold, become U+FFFD.
inline std::string narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size <= 0) throw std::runtime_error("text can't be converted to UTF-8");
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                          nullptr);
    return result;
}

}  // namespace norvane::platform::windows
