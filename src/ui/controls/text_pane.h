#pragma once

#include "engine/document.h"

#include <QAbstractScrollArea>

#include <cstddef>
#include <string>
#include <string_view>

namespace norvane::ui {

// The text pane: an editable view of a Document that shows its characters exactly. A
// display line ends only at CR LF; a bare LF, a bare CR and other control characters show
// as box marks inside their line. Lines never wrap. Only the visible part is drawn, so a
// frame costs the same for any size of document.
//
// The Text/SelStart/SelLength/SelText operations count positions in the document's stored
// units, as the Document does.
class TextPane : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TextPane(QWidget* parent = nullptr);
    ~TextPane() override;

    // The document shown. Replacing it puts the caret at the start and scrolls home.
    const Document& document() const { return document_; }
    void setDocument(Document document);

    // Runs `change` on the document (for passes such as the line-ending fixer) and then
    // refreshes the view as after setDocument, keeping the document.
    template <class Change>
    void changeDocument(Change&& change) {
        change(document_);
        documentReplaced();
    }

    std::string text() const { return document_.text(); }
    void setText(std::string_view text);
    std::size_t selStart() const;
    void setSelStart(std::size_t position);
    std::size_t selLength() const;
    void setSelLength(std::size_t length);
    std::string selText() const;
    void setSelText(std::string_view text);

signals:
    // The user changed the text (typing, deleting, pasting, cutting, undoing).
    void textEdited();

private:
    void documentReplaced();

    Document document_;
    // Further state of the implementation follows here.
};

}  // namespace norvane::ui
