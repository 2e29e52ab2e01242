#include "engine/document_file.h"

#include "platform/file_io.h"
#include "platform/system_conventions.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace norvane {
namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view Utf16BigEndianMark = "\xFE\xFF";

// Room for the text to grow in place: the fixer at most doubles it.
std::size_t capacityForText(std::size_t size) { return 2 * size + (64 << 10); }

bool isUtf16(TextEncoding encoding) {
    return encoding == TextEncoding::Utf16LittleEndian || encoding == TextEncoding::Utf16BigEndian;
}

std::string_view markOf(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf16LittleEndian: return Utf16LittleEndianMark;
    case TextEncoding::Utf16BigEndian: return Utf16BigEndianMark;
    default: return Utf8Mark;
    }
}

bool startsWith(std::span<const char> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

Document readUtf16(const platform::FileContents& file, const DetectedFormat& detected) {
    const std::span<const char> body(file.buffer.data() + detected.markLength, file.size - detected.markLength);
    const std::size_t most = storedSizeOfUtf16(body.size());
    platform::PageBuffer storage(capacityForText(most));
    const bool bigEndian = detected.format.encoding == TextEncoding::Utf16BigEndian;
    const std::size_t size = utf16ToStored(body, bigEndian, storage.data());
    return Document(GapArray<char>(std::move(storage), size), detected.format);
}

// Converts the stored text to UTF-16 a slice at a time.
void writeUtf16(const Document& document, bool bigEndian, platform::ByteSink& sink) {
    constexpr std::size_t SliceSize = 1 << 20;
    std::string units, bytes;
    std::size_t position = 0;
    while (position < document.size()) {
        const std::size_t count = std::min(SliceSize, document.size() - position);
        const std::size_t carried = units.size();
        units.resize(carried + count);
        document.units().copyTo(position, count, units.data() + carried);
        position += count;
        bytes.clear();
        units.erase(0, storedToUtf16(units, bigEndian, bytes));
        sink.write(bytes.data(), bytes.size());
    }
    if (!units.empty()) throw EncodingError("the text ends inside a character");
}

bool endsWithCrLf(const Document& document) {
    const std::size_t size = document.size();
    return size >= 2 && document.at(size - 2) == '\r' && document.at(size - 1) == '\n';
}

}  // namespace

DetectedFormat detectFormat(std::span<const char> bytes) {
    const bool even = bytes.size() % 2 == 0;
    if (even && startsWith(bytes, Utf16LittleEndianMark)) return {{TextEncoding::Utf16LittleEndian, true}, 2};
    if (even && startsWith(bytes, Utf16BigEndianMark)) return {{TextEncoding::Utf16BigEndian, true}, 2};
    const bool utf8Mark = startsWith(bytes, Utf8Mark);
    const std::size_t markLength = utf8Mark ? Utf8Mark.size() : 0;
    if (isValidUtf8(bytes.subspan(markLength))) return {{TextEncoding::Utf8, utf8Mark}, markLength};
    return {{TextEncoding::Legacy, false}, 0};
}

Document loadDocument(const std::filesystem::path& path, const ProgressReporter& progress) {
    if (progress) progress(0);
    platform::FileContents file = platform::readWholeFile(path, capacityForText);
    const DetectedFormat detected = detectFormat({file.buffer.data(), file.size});
    Document document;
    if (isUtf16(detected.format.encoding)) {
        document = readUtf16(file, detected);
    } else {
        if (detected.markLength > 0)
            std::memmove(file.buffer.data(), file.buffer.data() + detected.markLength, file.size - detected.markLength);
        document = Document(GapArray<char>(std::move(file.buffer), file.size - detected.markLength), detected.format);
    }
    if (progress) progress(100);
    return document;
}

void saveDocument(const Document& document, const std::filesystem::path& path, const ProgressReporter& progress) {
    const FileFormat format = document.format();
    const bool bigEndian = format.encoding == TextEncoding::Utf16BigEndian;
    if (progress) progress(0);
    platform::writeFileAtomically(path, [&](platform::ByteSink& sink) {
        if (format.byteOrderMark) {
            const std::string_view mark = markOf(format.encoding);
            sink.write(mark.data(), mark.size());
        }
        std::string closing = endsWithCrLf(document) ? "" : "\r\n";
        if (isUtf16(format.encoding)) {
            try {
                writeUtf16(document, bigEndian, sink);
            } catch (const EncodingError& error) {
                throw platform::FileError("Cannot save \"" + platform::pathText(path) + "\" as UTF-16: " + error.what());
            }
            std::string encoded;
            storedToUtf16(closing, bigEndian, encoded);
            closing = encoded;
        } else {
            for (std::span<const char> run : {document.units().beforeGap(), document.units().afterGap()})
                sink.write(run.data(), run.size());
        }
        sink.write(closing.data(), closing.size());
    });
    if (progress) progress(100);
}

}  // namespace norvane
