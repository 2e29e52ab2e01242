#include "engine/document.h"

#include <algorithm>
#include <stdexcept>

namespace norvane {

Document::Document(std::string_view text, FileFormat format) : format_(format) { setText(text); }

Document::Document(GapArray<char> text, FileFormat format) : text_(std::move(text)), format_(format) {
    lineFeeds_ = lines_.rebuild(text_);
}

std::string Document::slice(std::size_t position, std::size_t count) const {
    if (position > size() || count > size() - position) throw std::out_of_range("Document::slice");
    std::string piece(count, '\0');
    text_.copyTo(position, count, piece.data());
    return piece;
}

void Document::setText(std::string_view text) {
    text_.clear();
    text_.insert(0, text.data(), text.size());
    lineFeeds_ = lines_.rebuild(text_);
}

void Document::replace(std::size_t position, std::size_t removed, std::string_view inserted) {
    if (position > size() || removed > size() - position) throw std::out_of_range("Document::replace");
    for (std::size_t i = position; i < position + removed; ++i) lineFeeds_ -= text_[i] == '\n';
    lineFeeds_ += static_cast<std::size_t>(std::count(inserted.begin(), inserted.end(), '\n'));
    text_.erase(position, removed);
    text_.insert(position, inserted.data(), inserted.size());
    lines_.update(text_, position, removed, inserted.size());
}

std::size_t Document::lineEnd(std::size_t line) const {
    return line + 1 < lineCount() ? lineStart(line + 1) - 2 : size();
}

Document::Rewrite Document::beginRewrite(std::size_t room, std::size_t lineStarts) {
    return {text_.openEnd(room), lines_.beginAssign(lineStarts)};
}

void Document::endRewrite(std::size_t newSize, std::size_t lineFeeds) {
    text_.closeEnd(newSize);
    lines_.endAssign(newSize);
    lineFeeds_ = lineFeeds;
}

}  // namespace norvane
