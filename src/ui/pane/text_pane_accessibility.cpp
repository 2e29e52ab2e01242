// The text pane as assistive technology sees it: an editable text with its characters and
// its caret, through Qt's accessibility interfaces. The interface follows the pane's signals
// to tell assistive technology what changed.
#include "ui/pane/text_conversion.h"
#include "ui/pane/text_pane.h"

#include <QAccessibleWidget>

#include <algorithm>
#include <array>

namespace norvane::ui {
namespace {

// Assistive technology reads the text through QString offsets, which cost a decode of the
// text before them. A document up to this many units is handed out whole; of a larger one,
// only a window of this many units around the caret, and offsets count from its start.
constexpr std::size_t TextLimit = 64 * 1024;

bool isContinuation(const Document& document, std::size_t position) {
    return document.format().encoding != TextEncoding::Legacy && isUtf8Continuation(document.at(position));
}

// The start of the character that holds the unit at `position` (< the document's size) of
// double-byte legacy text.
std::size_t legacyStart(const Document& document, std::size_t position) {
    return legacyCharacterStart([&](std::size_t i) { return document.at(i); }, 0, position, document.size());
}

// The part of the document handed to assistive technology.
struct TextWindow {
    const Document& document;
    std::size_t start = 0;
    std::size_t end = 0;

    static TextWindow of(const TextPane& pane) {
        const Document& document = pane.document();
        if (document.size() <= TextLimit) return {document, 0, document.size()};
        std::size_t start = std::min(pane.caretPosition() - std::min(pane.caretPosition(), TextLimit / 2),
                                     document.size() - TextLimit);
        std::size_t end = start + TextLimit;
        // Whole characters only: a character's continuation units go with it.
        if (isDoubleByteLegacy(document.format().encoding)) {
            if (legacyStart(document, start) < start) ++start;  // behind the second byte
            if (end < document.size()) end = legacyStart(document, end);
        }
        for (int i = 0; i < 3 && isContinuation(document, start); ++i) ++start;
        for (int i = 0; i < 3 && end < document.size() && isContinuation(document, end); ++i) --end;
        return {document, start, end};
    }

    QString text(std::size_t from, std::size_t to) const {
        from = std::clamp(from, start, end);
        to = std::clamp(to, from, end);
        return decodeUnits(document.format().encoding, document.slice(from, to - from));
    }
    QString text() const { return text(start, end); }

    int offsetOf(std::size_t position) const { return static_cast<int>(text(start, position).size()); }

    std::size_t positionOf(int offset) const {
        const std::string units = document.slice(start, end - start);
        std::size_t position = 0;
        for (int counted = 0; counted < offset && position < units.size();) {
            const DecodedCharacter c = decodeCharacter(document.format().encoding, std::span(units).subspan(position));
            counted += c.codePoint > 0xFFFF ? 2 : 1;
            position += c.length;
        }
        return start + position;
    }
};

// Tell assistive technology, when any is listening, what changed.
void announceCaret(TextPane& pane) {
    if (!QAccessible::isActive()) return;
    QAccessibleTextCursorEvent event(&pane, TextWindow::of(pane).offsetOf(pane.caretPosition()));
    QAccessible::updateAccessibility(&event);
}

void announceTextReplaced(TextPane& pane) {
    if (!QAccessible::isActive()) return;
    // The old text is gone; assistive technology reads the new one afresh.
    QAccessibleTextUpdateEvent event(&pane, 0, QString(), TextWindow::of(pane).text());
    QAccessible::updateAccessibility(&event);
}

void announceEdit(TextPane& pane, std::size_t position, std::string_view removed, std::string_view inserted) {
    if (!QAccessible::isActive()) return;
    if (removed.size() > TextLimit || inserted.size() > TextLimit) return announceTextReplaced(pane);
    const TextEncoding encoding = pane.document().format().encoding;
    const int offset = TextWindow::of(pane).offsetOf(position);
    if (!removed.empty()) {
        QAccessibleTextRemoveEvent event(&pane, offset, decodeUnits(encoding, removed));
        QAccessible::updateAccessibility(&event);
    }
    if (!inserted.empty()) {
        QAccessibleTextInsertEvent event(&pane, offset, decodeUnits(encoding, inserted));
        QAccessible::updateAccessibility(&event);
    }
}

class TextPaneAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit TextPaneAccessible(TextPane* pane)
        : QAccessibleWidget(pane, QAccessible::EditableText),
          listening_{QObject::connect(pane, &TextPane::caretMoved, pane, [pane] { announceCaret(*pane); }),
                     QObject::connect(pane, &TextPane::unitsReplaced, pane,
                                      [pane](std::size_t position, std::string_view removed, std::string_view inserted) {
                                          announceEdit(*pane, position, removed, inserted);
                                      }),
                     QObject::connect(pane, &TextPane::textReplaced, pane, [pane] { announceTextReplaced(*pane); })} {}
    ~TextPaneAccessible() override {
        for (const QMetaObject::Connection& connection : listening_) QObject::disconnect(connection);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface) return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = !pane().isReadOnly();
        state.readOnly = !state.editable;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value) return shownText().text();
        return QAccessibleWidget::text(type);
    }

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || pane().selLength() == 0) return;
        const TextWindow shown = shownText();
        *startOffset = shown.offsetOf(pane().selStart());
        *endOffset = shown.offsetOf(pane().selStart() + pane().selLength());
    }
    int selectionCount() const override { return pane().selLength() > 0 ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override { pane().setSelStart(pane().caretPosition()); }
    void setSelection(int, int startOffset, int endOffset) override {
        const TextWindow shown = shownText();
        const std::size_t start = shown.positionOf(startOffset);
        pane().setSelStart(start);
        pane().setSelLength(shown.positionOf(endOffset) - start);
    }

    int cursorPosition() const override { return shownText().offsetOf(pane().caretPosition()); }
    void setCursorPosition(int position) override { pane().setSelStart(shownText().positionOf(position)); }

    QString text(int startOffset, int endOffset) const override {
        const TextWindow shown = shownText();
        return shown.text(shown.positionOf(startOffset), shown.positionOf(endOffset));
    }
    int characterCount() const override { return static_cast<int>(shownText().text().size()); }

    // The character's cells as the pane draws them: two for a wide one; one for a line
    // break or a combining mark, which have none of their own.
    QRect characterRect(int offset) const override {
        const TextWindow shown = shownText();
        const std::size_t position = shown.positionOf(offset);
        QRectF cells = pane().cellRect(position);
        const QRectF next = pane().cellRect(shown.positionOf(offset + 1));
        if (next.top() == cells.top() && next.left() > cells.left()) cells.setRight(next.left());
        const QRect rect = cells.toRect();
        return {pane().viewport()->mapToGlobal(rect.topLeft()), rect.size()};
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = pane().viewport()->mapFromGlobal(point);
        if (!pane().viewport()->rect().contains(local)) return -1;
        const TextWindow shown = shownText();
        const std::size_t position = pane().positionAt(local);
        return position < shown.start || position > shown.end ? -1 : shown.offsetOf(position);
    }
    void scrollToSubstring(int startIndex, int) override { pane().ensureVisible(shownText().positionOf(startIndex)); }

    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

    // Edits, each one the user's as if typed: refused while the pane is read-only.
    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString& text) override {
        const TextWindow shown = shownText();
        const std::size_t start = shown.positionOf(std::min(startOffset, endOffset));
        pane().editAsUser(start, std::max(start, shown.positionOf(std::max(startOffset, endOffset))), text);
    }

private:
    TextPane& pane() const { return *static_cast<TextPane*>(widget()); }
    TextWindow shownText() const { return TextWindow::of(pane()); }

    std::array<QMetaObject::Connection, 3> listening_;
};

}  // namespace

QAccessibleInterface* TextPane::accessibleInterface(const QString& className, QObject* object) {
    if (object && object->isWidgetType() && className == QLatin1String(TextPane::staticMetaObject.className()))
        return new TextPaneAccessible(static_cast<TextPane*>(object));
    return nullptr;
}

}  // namespace norvane::ui
