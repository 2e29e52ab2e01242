#include "engine/document_file.h"

#include "engine/simd.h"

#include "platform/file_io.h"
#include "platform/mapped_file.h"
#include "platform/system_conventions.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace norvane {
namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view Utf16BigEndianMark = "\xFE\xFF";

// Long passes report their progress once a step.
constexpr std::size_t ProgressStep = 32 << 20;

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

// Checks the bytes a step at a time, each step cut in front of a byte that starts a
// character: valid text is valid in every such slice, and slices that are all valid
// make valid text.
bool isValidUtf8InSteps(std::span<const char> bytes, const ProgressReporter& progress, int upTo) {
    std::size_t from = 0;
    while (from < bytes.size()) {
        std::size_t to = std::min(bytes.size(), from + ProgressStep);
        for (int back = 0; back < 4 && to < bytes.size() && to > from && isUtf8Continuation(bytes[to]); ++back) --to;
        if (to == from) to = std::min(bytes.size(), from + ProgressStep);
        if (!isValidUtf8(bytes.subspan(from, to - from))) return false;
        from = to;
        if (progress) progress(static_cast<int>(upTo * from / bytes.size()));
    }
    return true;
}

Document readUtf16(std::span<const char> body, FileFormat format) {
    platform::PageBuffer storage(storedSizeOfUtf16(body.size()));
    const bool bigEndian = format.encoding == TextEncoding::Utf16BigEndian;
    const std::size_t size = utf16ToStored(body, bigEndian, storage.data());
    return Document(TextStore(std::move(storage), size), format);
}

// Turns stored units into UTF-16 bytes on their way to the file. A character cut between
// two writes is carried to the next.
class Utf16Encoder final : public platform::ByteSink {
public:
    Utf16Encoder(platform::ByteSink& out, bool bigEndian) : out_(out), bigEndian_(bigEndian) {}

    void write(const char* data, std::size_t size) override {
        units_.append(data, size);
        bytes_.clear();
        units_.erase(0, storedToUtf16(units_, bigEndian_, bytes_));
        out_.write(bytes_.data(), bytes_.size());
    }
    void finish() const {
        if (!units_.empty()) throw EncodingError("the text ends inside a character");
    }

private:
    platform::ByteSink& out_;
    bool bigEndian_;
    std::string units_, bytes_;
};

// Puts a CR in front of every LF that has none on the units' way to the file, and counts
// them; a CR LF passes as it is. The units are gathered in a page-aligned buffer of the
// file sink's largest block size, which it writes straight to the disk; a smaller text gets
// a buffer of about its fixed size (`sizeHint`).
class BareLineFeedFixer final : public platform::ByteSink {
public:
    BareLineFeedFixer(platform::ByteSink& out, std::size_t sizeHint)
        : out_(out), bufferSize_(std::clamp<std::size_t>(sizeHint, MinimumBufferSize, MaximumBufferSize)),
          buffer_(bufferSize_) {}

    void write(const char* data, std::size_t size) override {
        std::size_t i = 0;
        for (; i + 16 <= size; i += 16) {
            if (bufferSize_ - used_ < 32) flush();
            char* const out = buffer_.data() + used_;
            const unsigned lineFeeds = matches16(data + i, '\n');
            const unsigned returns = matches16(data + i, '\r');
            unsigned bare = lineFeeds & ~((returns << 1) | (last_ == '\r' ? 1u : 0u));
            last_ = data[i + 15];
            if (!bare) {
                std::memcpy(out, data + i, 16);
                used_ += 16;
                continue;
            }
            std::size_t from = 0, written = 0;
            for (; bare; bare &= bare - 1) {
                const auto at = static_cast<std::size_t>(std::countr_zero(bare));
                std::memcpy(out + written, data + i + from, at - from);
                written += at - from;
                out[written++] = '\r';
                from = at;
                ++fixed_;
            }
            std::memcpy(out + written, data + i + from, 16 - from);
            used_ += written + 16 - from;
        }
        for (; i < size; ++i) {
            if (bufferSize_ - used_ < 2) flush();
            if (data[i] == '\n' && last_ != '\r') {
                buffer_.data()[used_++] = '\r';
                ++fixed_;
            }
            buffer_.data()[used_++] = last_ = data[i];
        }
    }
    void flush() {
        out_.write(buffer_.data(), used_);
        used_ = 0;
    }
    std::size_t fixed() const { return fixed_; }

private:
    static constexpr std::size_t MinimumBufferSize = 4096;  // room for the 32 bytes a step may write
    static constexpr std::size_t MaximumBufferSize = 4 << 20;
    platform::ByteSink& out_;
    std::size_t bufferSize_;
    platform::PageBuffer buffer_;
    std::size_t used_ = 0;
    char last_ = 0;
    std::size_t fixed_ = 0;
};

void writeUnits(const Document& document, platform::ByteSink& sink, const std::function<void(std::size_t)>& wrote) {
    for (std::size_t position = 0; position < document.size();) {
        const std::size_t count = std::min(ProgressStep, document.size() - position);
        document.forEachRun(position, count, [&](std::span<const char> run) { sink.write(run.data(), run.size()); });
        position += count;
        wrote(position);
    }
}


platform::FileError changedWhileOpen(const std::string& action, const std::filesystem::path& path) {
    return platform::FileError("Cannot " + action + " \"" + platform::pathText(path) +
                               "\": the file was changed by another program while it was open, so the text may "
                               "have lost bytes");
}

}  // namespace

DetectedFormat detectFormat(std::span<const char> bytes, const ProgressReporter& progress, int upTo) {
    const bool even = bytes.size() % 2 == 0;
    if (even && startsWith(bytes, Utf16LittleEndianMark)) return {{TextEncoding::Utf16LittleEndian, true}, 2};
    if (even && startsWith(bytes, Utf16BigEndianMark)) return {{TextEncoding::Utf16BigEndian, true}, 2};
    const bool utf8Mark = startsWith(bytes, Utf8Mark);
    const std::size_t markLength = utf8Mark ? Utf8Mark.size() : 0;
    if (isValidUtf8InSteps(bytes.subspan(markLength), progress, upTo))
        return {{TextEncoding::Utf8, utf8Mark}, markLength};
    return {{TextEncoding::Legacy, false}, 0};
}

Document loadDocument(const std::filesystem::path& path, const ProgressReporter& progress) {
    if (progress) progress(0);
    platform::MappedFile file(path);
    platform::FileOrigin origin = file.origin();
    const std::span<const char> bytes(file.data(), file.size());
    // The check and the index each read the whole text once.
    const DetectedFormat detected = detectFormat(bytes, progress, 50);
    Document document = isUtf16(detected.format.encoding)
                            ? readUtf16(bytes.subspan(detected.markLength), detected.format)
                            : Document(TextStore(std::move(file), detected.markLength, progress, 50, 100),
                                       detected.format);
    if (file.changed() || document.sourceChanged()) throw changedWhileOpen("read", path);
    document.setOrigin(std::move(origin));
    if (progress) progress(100);
    return document;
}

namespace {

platform::PreparedSave prepare(const Document& document, const std::filesystem::path& path,
                               const platform::FileOrigin* over, const ProgressReporter& progress, LineEnds lineEnds,
                               bool flushEach) {
    // Over the file another program changed: its bytes win over text that may be damaged.
    // Elsewhere the text is saved as it is, so that the user can keep their edits.
    auto refuseOverChangedFile = [&] {
        if (document.sourceChanged() && document.readsFrom(path)) throw changedWhileOpen("save", path);
    };
    refuseOverChangedFile();
    if (progress) progress(0);
    const FileFormat format = document.format();
    int reported = 0;
    auto wrote = [&](std::size_t position) {
        const int percent = static_cast<int>(99 * position / std::max<std::size_t>(document.size(), 1));
        if (progress && percent > reported) progress(reported = percent);
    };
    // At most this many bytes unless UTF-16 doubles them: every unit, a CR before each, a
    // closing line end and a mark.
    const std::size_t sizeHint = 2 * document.size() + 8;
    auto produce = [&](platform::ByteSink& file) {
        if (format.byteOrderMark) {
            const std::string_view mark = markOf(format.encoding);
            file.write(mark.data(), mark.size());
        }
        // Units pass through the line-end fixer, then the UTF-16 encoder, as they apply.
        std::optional<Utf16Encoder> encoder;
        if (isUtf16(format.encoding)) encoder.emplace(file, format.encoding == TextEncoding::Utf16BigEndian);
        platform::ByteSink& encoded = encoder ? static_cast<platform::ByteSink&>(*encoder) : file;
        std::optional<BareLineFeedFixer> fixer;
        if (lineEnds == LineEnds::BareLineFeedsFixed) fixer.emplace(encoded, sizeHint);
        platform::ByteSink& units = fixer ? static_cast<platform::ByteSink&>(*fixer) : encoded;

        writeUnits(document, units, wrote);
        const bool closed = fixer ? !document.empty() && document.at(document.size() - 1) == '\n' : endsWithCrLf(document);
        if (!closed) units.write("\r\n", 2);
        if (fixer) fixer->flush();
        if (encoder) {
            try {
                encoder->finish();
            } catch (const EncodingError& error) {
                throw platform::FileError("Cannot save \"" + platform::pathText(path) + "\" as UTF-16: " + error.what());
            }
        }
        // Bytes lost under the text while it was written: the old file stays.
        refuseOverChangedFile();
    };
    platform::SaveOptions options;
    options.over = over;
    options.sizeHint = sizeHint;
    options.beforeOverwriting = [&] {
        if (document.readsFrom(path)) document.detachFromFile();
    };
    return platform::prepareSave(path, produce, options, flushEach);
}

void refuseWithoutFile(const platform::FileOrigin& file) {
    if (file.empty()) throw platform::FileError("Cannot save: the text was not read from a file");
}

}  // namespace

platform::FileOrigin saveDocument(const Document& document, const std::filesystem::path& path,
                                  const ProgressReporter& progress, LineEnds lineEnds) {
    platform::FileOrigin saved = prepare(document, path, nullptr, progress, lineEnds, true).commit();
    if (progress) progress(100);
    return saved;
}

platform::FileOrigin saveDocumentOver(const Document& document, const platform::FileOrigin& file,
                                      const ProgressReporter& progress, LineEnds lineEnds) {
    refuseWithoutFile(file);
    platform::FileOrigin saved = prepare(document, file.path(), &file, progress, lineEnds, true).commit();
    if (progress) progress(100);
    return saved;
}

platform::PreparedSave prepareSaveOver(const Document& document, const platform::FileOrigin& file, LineEnds lineEnds) {
    refuseWithoutFile(file);
    return prepare(document, file.path(), &file, {}, lineEnds, false);
}

bool endsWithCrLf(const Document& document) {
    const std::size_t size = document.size();
    return size >= 2 && document.at(size - 2) == '\r' && document.at(size - 1) == '\n';
}

std::size_t bareLineFeedCount(const Document& document) {
    return document.lineFeedCount() - (document.lineCount() - 1);
}

}  // namespace norvane
