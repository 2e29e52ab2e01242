#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// How this system names files and writes plain text. Each system's answers are in its own
// file (posix/, windows/), chosen in CMake.
namespace norvane::platform {

// The path named by UTF-8 text, as a user interface shows it: on POSIX systems its bytes
// as they are, on Windows the wide path they spell.
std::filesystem::path pathFromText(std::string_view utf8);

// A path as UTF-8 text, for messages: on POSIX systems its bytes as they are (UTF-8 where
// the system names files in it), on Windows its wide text converted.
std::string pathText(const std::filesystem::path& path);

// The file-name pattern that every file matches: "*.*" on Windows, where every name
// matches it; "*" elsewhere, where a name needs no dot.
extern const std::string_view AllFilesPattern;

// The line break of plain text exchanged with other programs (the clipboard): CR LF on
// Windows, LF elsewhere.
extern const std::string_view PlainTextLineBreak;

// Whether the program can show a window at all: on Windows always; elsewhere only when a
// display (DISPLAY, WAYLAND_DISPLAY) or a Qt platform (QT_QPA_PLATFORM) is named, since Qt
// aborts the program when it finds none.
bool canShowWindows();

}  // namespace norvane::platform
