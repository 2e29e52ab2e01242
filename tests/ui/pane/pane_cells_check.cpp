// The pane on a real X server, checked on the screen's pixels. For each row of the table
// below (ASCII, box marks for LF, CR and NUL, tabs, accented Latin, CJK, combining accents),
// the pane shows the row twice: once with only its even characters, once with only its odd
// ones, the others replaced by blanks of the same width. Every dark pixel must then lie in
// the cells of a character shown, and every character shown must leave some ink: a glyph
// drawn off its cells, or a cell that spills into its neighbour, is caught wherever along
// the row it happens. Then it clicks with the X server's pointer (xdotool) on the glyph at
// columns 3, 80 and 141 of a long line, found on the pixels, checks that the caret is drawn
// at the left edge of that cell, types "X" and checks where it landed in the document. Then
// the X primary selection: a double-clicked word is pasted by a middle click. Last, that the
// LF mark means a bare LF only: a zero-width joiner inside an emoji sequence looks otherwise.
//
// The columns a character should take are counted here from the characters the table
// uses, not asked of the pane; only the cell's size and origin come from the pane.
//
// Usage: norvane_pane_cells_check FAMILY OUTPUT_FOLDER
// FAMILY is the font the pane is expected to choose. Screenshots of failures are kept in
// OUTPUT_FOLDER. Prints one line per check; exits with the number of failures.
#include "ui/pane/text_pane.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using norvane::ui::TextPane;
using namespace std::literals;

// How long to wait for the X server and the pane to take an event: only a hang takes that long.
constexpr int WaitLimitMs = 60000;

struct Row {
    const char* name;
    std::string_view text;  // UTF-8; repeated to fill the pane's width
};

const Row Rows[] = {
    {"ASCII and box marks for LF, CR and NUL", "Norvane\n->\r<-\0lazy dog\nword059\r6789\0END "sv},
    {"tabs and accented Latin", "a\tbc\tÀÉÎÕÜfaçade naïveñßøåœŷĳŁ\t|"sv},
    {"CJK, kana, Hangul, fullwidth", "漢字かなカナ한글ＡＢ mixed 中文x"sv},
    {"combining accents", "e\xCC\x81" "a\xCC\x88o\xCC\x83 n\xCC\x83 cafe\xCC\x81 u\xCC\x8A!"sv},
};

// One character as the table expects it shown: its text (with its combining accents), its
// first column and its cells.
struct Expected {
    std::u32string text;
    std::uint64_t column;
    std::uint64_t cells;
    bool blank;
};

bool isCombining(char32_t c) { return c >= 0x300 && c <= 0x36F; }
bool isWide(char32_t c) {
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xFF01 && c <= 0xFF60);
}

std::vector<Expected> layOut(const std::u32string& text) {
    std::vector<Expected> out;
    std::uint64_t column = 0;
    for (const char32_t c : text) {
        if (isCombining(c) && !out.empty()) {
            out.back().text += c;
            continue;
        }
        const std::uint64_t cells = c == '\t' ? (column / 8 + 1) * 8 - column : isWide(c) ? 2 : 1;
        out.push_back({std::u32string(1, c), column, cells, c == ' ' || c == '\t'});
        column += cells;
    }
    return out;
}

// The row with the characters whose index has the other parity blanked.
std::string shownHalf(const std::vector<Expected>& row, int parity) {
    QString text;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const bool shown = static_cast<int>(i % 2) == parity || row[i].text == U"\t";
        text += shown ? QString::fromStdU32String(row[i].text) : QString(static_cast<qsizetype>(row[i].cells), u' ');
    }
    return text.toStdString();
}

class Checker {
public:
    Checker(TextPane& pane, QString out) : pane_(pane), out_(std::move(out)) {}

    int failures() const { return failures_; }

    void expect(bool ok, const std::string& what) {
        std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
        failures_ += !ok;
    }

    void checkRow(const Row& row) {
        const std::u32string unit = QString::fromUtf8(row.text.data(), static_cast<qsizetype>(row.text.size())).toStdU32String();
        std::u32string text;
        while (layOut(text).empty() || layOut(text).back().column < columnsShown() + 8) text += unit;
        const std::vector<Expected> expected = layOut(text);
        for (int parity = 0; parity < 2; ++parity) {
            show(shownHalf(expected, parity));
            const QImage image = grab();
            std::vector<std::string> problems;
            std::vector<int> inkOf(expected.size(), 0);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qGray(image.pixel(x, y)) >= 128) continue;
                    const std::optional<std::size_t> owner = ownerOf(expected, parity, x, y);
                    if (owner)
                        ++inkOf[*owner];
                    else if (problems.size() < 3)
                        problems.push_back("stray ink at x " + std::to_string(x) + ", column " + std::to_string(columnAt(x)) +
                                           (y + 0.5 >= corner().y() + rowHeight() ? " below the row" : ""));
                }
            }
            for (std::size_t i = parity; i < expected.size(); i += 2)
                if (!expected[i].blank && inkOf[i] == 0 && problems.size() < 6 && visible(expected[i]))
                    problems.push_back("no ink for the character at column " + std::to_string(expected[i].column));
            const std::string what = std::string(row.name) + (parity ? ", odd" : ", even") + " characters";
            if (!problems.empty()) save(image, row.name, parity);
            std::string detail;
            for (const std::string& problem : problems) detail += "; " + problem;
            expect(problems.empty(), what + " each inside their cells" + detail);
        }
    }

    // Clicks on the glyph at `column` of a line of digits, types X and checks the document.
    void checkClick(std::uint64_t column) {
        std::string line;
        for (int i = 0; i < 200; ++i) line += static_cast<char>('0' + i % 10);
        std::string without = line;
        without[column] = ' ';
        show(without);
        const QImage blank = grab();
        show(line);
        const QImage shown = grab();
        int left = shown.width(), right = -1;
        for (int y = 0; y < rowHeight(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != blank.pixel(x, y)) left = std::min(left, x), right = std::max(right, x);
        const std::string what = "a click on the glyph at column " + std::to_string(column) + " types in front of it";
        if (right < 0) return expect(false, what + ": no glyph found there");
        // A point on the glyph's ink, left of its middle, in the screen's pixels.
        const QPoint target(qRound(std::floor(origin().x()) + left + (right - left) * 0.3),
                            qRound(origin().y() + rowHeight() / 2.0));
        pane_.activateWindow();
        pane_.setFocus();
        const std::size_t caretBefore = pane_.caretPosition();
        xdotool({"mousemove", "--sync", QString::number(target.x()), QString::number(target.y()), "click", "1"});
        // The caret, all that changed once the click is taken, stands at the left edge of the
        // glyph's cell.
        (void)QTest::qWaitFor([&] { return pane_.caretPosition() != caretBefore; }, WaitLimitMs);
        pane_.viewport()->repaint();
        QCoreApplication::processEvents();
        const QImage withCaret = grab();
        int caretLeft = withCaret.width(), caretRight = -1;
        for (int y = 0; y < rowHeight(); ++y)
            for (int x = 0; x < withCaret.width(); ++x)
                if (withCaret.pixel(x, y) != shown.pixel(x, y)) caretLeft = std::min(caretLeft, x), caretRight = std::max(caretRight, x);
        const double edge = corner().x() + static_cast<double>(column) * cellWidth();
        expect(caretRight >= 0 && caretLeft >= edge - 1 && caretRight < edge + devicePixelRatio() + 1,
               "the caret is drawn at the left edge of column " + std::to_string(column) + " (pixels " +
                   std::to_string(caretLeft) + " to " + std::to_string(caretRight) + ", edge " + std::to_string(edge) + ")");
        xdotool({"type", "X"});
        (void)QTest::qWaitFor([&] { return pane_.text().size() > line.size(); }, WaitLimitMs);  // checked below
        const std::string typed = line.substr(0, column) + "X" + line.substr(column);
        const std::string text = pane_.text();
        const std::size_t landed = text.find('X');
        expect(text == typed, what + (landed == std::string::npos ? ": nothing typed"
                                                                  : ": it landed at " + std::to_string(landed)));
        pane_.clearFocus();
    }

    // Double-clicks a word, then middle-clicks in front of the line: the word selected is
    // the X primary selection, pasted where the middle click points.
    void checkPrimarySelection() {
        show("alpha beta gamma");
        pane_.activateWindow();
        const auto at = [&](double column) {
            return QStringList{QString::number(qRound(origin().x() + column * cellWidth())),
                               QString::number(qRound(origin().y() + rowHeight() / 2))};
        };
        xdotool(QStringList{"mousemove", "--sync"} + at(7.5) + QStringList{"click", "--repeat", "2", "--delay", "80", "1"});
        (void)QTest::qWaitFor([&] { return pane_.selLength() > 0; }, WaitLimitMs);  // the word selected
        xdotool(QStringList{"mousemove", "--sync"} + at(0.2) + QStringList{"click", "2"});
        (void)QTest::qWaitFor([&] { return pane_.text() != "alpha beta gamma"; }, WaitLimitMs);  // checked below
        expect(pane_.text() == "betaalpha beta gamma",
               "a double-clicked word is the primary selection, pasted by a middle click: " + pane_.text());
    }

    // Bare LFs around an emoji sequence joined by a zero-width joiner: the LF cells alike,
    // the joiner's cell inked and unlike them.
    void checkMarks() {
        show("\n" "\xF0\x9F\x91\xA9" "\xE2\x80\x8D" "\xF0\x9F\x92\xBB" "\n");  // LF, woman, ZWJ, laptop, LF
        const QImage image = grab();
        const auto cell = [&](int column) {
            return image.copy(QRectF(corner().x() + column * cellWidth(), corner().y(), cellWidth(), rowHeight()).toRect());
        };
        // The joiner's and the last LF's columns as the pane lays them out (the emoji are wide).
        const int lastColumn = static_cast<int>(pane_.columnOf(pane_.document().size() - 1));
        const QImage lineFeed = cell(0), joiner = cell(static_cast<int>(pane_.columnOf(5)));
        bool inked = false;
        for (int y = 0; y < joiner.height(); ++y)
            for (int x = 0; x < joiner.width(); ++x) inked = inked || qGray(joiner.pixel(x, y)) < 128;
        if (cell(lastColumn) != lineFeed || !inked || joiner == lineFeed) save(image, "marks", 0);
        expect(cell(lastColumn) == lineFeed, "two bare LFs show the same mark");
        expect(inked && joiner != lineFeed, "a zero-width joiner inside an emoji sequence shows a mark of its own");
    }

private:
    void show(const std::string& text) {
        pane_.clearFocus();
        pane_.setText(text);
        pane_.viewport()->repaint();
        QCoreApplication::processEvents();
        QTest::qWait(50);
    }

    double devicePixelRatio() const { return pane_.devicePixelRatioF(); }
    // The viewport's top-left corner on the screen, in device pixels.
    QPointF origin() const { return QPointF(pane_.viewport()->mapToGlobal(QPoint(0, 0))) * devicePixelRatio(); }
    double cellWidth() const { return pane_.cellSize().width() * devicePixelRatio(); }
    double rowHeight() const { return pane_.cellSize().height() * devicePixelRatio(); }
    std::uint64_t columnsShown() const { return pane_.visibleColumns(); }
    std::uint64_t columnAt(int x) const { return static_cast<std::uint64_t>((x + 0.5 - corner().x()) / cellWidth()); }
    bool visible(const Expected& c) const { return c.column + c.cells <= columnsShown(); }

    // The viewport's pixels, as the X server has them, from the pixel that holds its corner.
    QImage grab() const {
        const QImage screen = pane_.screen()->grabWindow(0).toImage();
        const QSize size = pane_.viewport()->size() * devicePixelRatio();
        return screen.copy(QRect(QPoint(std::floor(origin().x()), std::floor(origin().y())), size));
    }
    // Where the viewport's corner lies inside the grab's first pixel: at a fractional scale
    // factor the frame around it may end in the middle of a pixel.
    QPointF corner() const { return origin() - QPointF(std::floor(origin().x()), std::floor(origin().y())); }

    // The character shown whose cells hold the middle of pixel (x, y), if any: never a
    // blank, whose cells stay empty.
    std::optional<std::size_t> ownerOf(const std::vector<Expected>& row, int parity, int x, int y) const {
        if (y + 0.5 < corner().y() || y + 0.5 >= corner().y() + rowHeight()) return std::nullopt;
        const double middle = x + 0.5;
        for (std::size_t i = parity; i < row.size(); i += 2) {
            const double left = corner().x() + static_cast<double>(row[i].column) * cellWidth();
            const double right = corner().x() + static_cast<double>(row[i].column + row[i].cells) * cellWidth();
            if (left > middle) break;
            if (middle >= left && middle <= right && !row[i].blank) return i;
        }
        return std::nullopt;
    }

    void save(const QImage& image, const char* row, int parity) const {
        QString name = QString::fromUtf8(row).replace(QRegularExpression(QStringLiteral("[^A-Za-z]+")), QStringLiteral("-"));
        image.save(out_ + QLatin1Char('/') + name + (parity ? QStringLiteral("odd.png") : QStringLiteral("even.png")));
    }

    static void xdotool(const QStringList& arguments) { QProcess::execute(QStringLiteral("xdotool"), arguments); }

    TextPane& pane_;
    QString out_;
    int failures_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: norvane_pane_cells_check FAMILY OUTPUT_FOLDER\n");
        return 2;
    }
    TextPane pane;
    pane.setWindowFlags(Qt::FramelessWindowHint);
    pane.setGeometry(0, 0, 1200, 120);
    pane.show();
    if (!QTest::qWaitForWindowExposed(&pane, WaitLimitMs)) return 1;
    Checker check(pane, QString::fromLocal8Bit(argv[2]));

    const QString family = QFontInfo(pane.font()).family();
    check.expect(family == QString::fromLocal8Bit(argv[1]),
                 "the pane's font is " + family.toStdString() + " (cell " + std::to_string(pane.cellSize().width()) +
                     " x " + std::to_string(pane.cellSize().height()) + ", scale " +
                     std::to_string(pane.devicePixelRatioF()) + ")");
    for (const Row& row : Rows) check.checkRow(row);
    for (const std::uint64_t column : {3, 80, 141}) check.checkClick(column);
    check.checkPrimarySelection();
    check.checkMarks();
    return check.failures();
}
