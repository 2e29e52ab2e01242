#include "engine/file_name.h"

#include "engine/text_encoding.h"

namespace norvane {

namespace {

// The last `count` characters of UTF-8 text (all of it when shorter).
std::string_view lastCharacters(std::string_view text, std::size_t count) {
    std::size_t start = text.size();
    while (start > 0 && count > 0) {
        --start;
        if (!isUtf8Continuation(text[start])) --count;
    }
    return text.substr(start);
}

}  // namespace

std::string GetFileName(std::string_view path, char separator) {
    constexpr std::size_t MaxNameLength = 255;
    std::string_view tail = lastCharacters(path, MaxNameLength);
    if (auto last = tail.rfind(separator); last != std::string_view::npos) tail.remove_prefix(last + 1);
    return std::string(tail);
}

std::string unquoteCommandLine(std::string_view commandLine) {
    if (commandLine.starts_with('"')) commandLine.remove_prefix(1);
    if (commandLine.ends_with('"')) commandLine.remove_suffix(1);
    return std::string(commandLine);
}

}  // namespace norvane
