#pragma once

#include "platform/system_conventions.h"

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

// Where Qt's text meets the engine's and the platform's, whose texts (titles, messages and
// the paths in them, registry values) are UTF-8.
namespace norvane::ui {

inline QString toQString(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

inline std::string toUtf8(const QString& text) { return text.toStdString(); }

// The file that a path shown or typed in the user interface names.
inline std::filesystem::path toPath(const QString& path) { return platform::pathFromText(toUtf8(path)); }

}  // namespace norvane::ui
