#pragma once

#include "engine/text_encoding.h"
#include "platform/system_conventions.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <span>
#include <string>

// Text crossing the pane's edge: the document's units as Unicode for the clipboard and
// assistive technology, and typed, composed or pasted Unicode as units.
namespace norvane::ui {

enum class LineBreaks {
    Kept,        // CR LF stays CR LF
    AsLineFeed,  // CR LF becomes LF, the plain-text line break of Linux and macOS
};

// The plain-text line breaks of this system's clipboard.
inline const LineBreaks ClipboardLineBreaks =
    platform::PlainTextLineBreak == "\r\n" ? LineBreaks::Kept : LineBreaks::AsLineFeed;

// Units that form no character become U+FFFD, one for each unit.
QString decodeUnits(TextEncoding encoding, std::span<const char> units, LineBreaks lineBreaks = LineBreaks::Kept);

// The units for `text` in a document of `encoding`, every line break (CR LF, LF or CR)
// made CR LF; nothing when the encoding cannot hold one of its characters.
std::optional<std::string> encodeText(TextEncoding encoding, QStringView text);

}  // namespace norvane::ui
