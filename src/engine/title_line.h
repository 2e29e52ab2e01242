#pragma once

#include "engine/version_text.h"

#include <string>
#include <string_view>

// The main window's title, its only status line: program and version, the file in hand
// and whether it has been fixed. Names and titles are UTF-8.
namespace norvane {

// "Norvane v2.1 - [No File]"
std::string titleNoFile(VersionNumbers version);

// "Norvane v2.1 - [a.txt]", for a file loaded from the command line or the Open dialog.
std::string titleLoaded(VersionNumbers version, std::string_view fileName);

// "Norvane v2.1 - [a.txt] - Fixed"
std::string titleFixed(VersionNumbers version, std::string_view fileName);

}  // namespace norvane
