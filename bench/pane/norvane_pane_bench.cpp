// Measures the text pane on large documents, offscreen, and prints each figure with its bar:
//   - first paint after a loaded document is handed to the pane (bar: under 50 ms), for a
//     100 MB LF document (one display line), its CR LF version, the same two of CJK-heavy
//     text, and two lines of 10 million characters: words and tabs, and mixed widths (wide
//     CJK, emoji, combining accents, tabs and ASCII);
//   - scrolling one page, down in the CR LF document and sideways in the long lines,
//     from the middle of the text (bar: under 16 ms);
//   - a keystroke in the middle of each 100 MB document, from the key event to the end of
//     the repaint (bar: under 16 ms).
// The first jump into the middle of a long line indexes the line's columns, and the first
// keystroke moves the document's gap there: both are printed on their own, without a bar.
// Usage: norvane_pane_bench [--size-mb N] [--runs N]

#include "engine/document.h"
#include "support/bench_support.h"
#include "ui/pane/text_pane.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace norvane::bench;
using norvane::Document;
using norvane::ui::TextPane;

constexpr double FirstPaintBar = 0.050;
constexpr double FrameBar = 0.016;

void report(const char* what, double seconds, double bar) {
    std::printf("  %-58s %8.2f ms   bar %4.0f ms   %s\n", what, seconds * 1e3, bar * 1e3, verdict(seconds < bar));
}

void note(const char* what, double seconds) { std::printf("  %-58s %8.2f ms\n", what, seconds * 1e3); }

double timed(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return secondsSince(start);
}

// The median of `runs` timings of `work`, each followed by untimed `settle`.
double medianOf(int runs, const std::function<void()>& work, const std::function<void()>& settle = [] {}) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(timed(work));
        settle();
    }
    return median(times);
}

// Text that is mostly CJK, as real text is: ideographs drawn from all of the common block
// (so that every page shows hundreds of characters not seen before), kana, Hangul and a
// few ASCII words, in lines ended by LF.
std::string makeCjkText(std::size_t size) {
    std::mt19937 random(3);
    const auto append = [](std::string& text, char32_t c) {  // as UTF-8: three units
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    };
    std::string text;
    text.reserve(size + 128);
    while (text.size() < size) {
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            switch (random() % 8) {
            case 0: append(text, 0x3041 + random() % 0x56); break;  // hiragana
            case 1: append(text, 0xAC00 + random() % 11172); break; // Hangul syllables
            case 2: text += " log 2024 "; break;
            default: append(text, 0x4E00 + random() % 0x5200); break;  // ideographs
            }
        }
        text += '\n';
    }
    return text;
}

// One line of `characters` characters of every width: ASCII words, tabs, wide CJK and
// emoji, and letters with combining accents.
std::string makeMixedWidthLine(std::size_t characters) {
    struct Piece {
        const char* units;
        std::size_t characters;
    };
    static const Piece pieces[] = {{"word ", 5}, {"\t", 1}, {"\xE6\xBC\xA2\xE5\xAD\x97", 2}, {"\xF0\x9F\x98\x80", 1},
                                   {"e\xCC\x81", 2}, {"\xED\x95\x9C", 1}, {"caf\xC3\xA9 ", 5}};
    std::mt19937 random(4);
    std::string line;
    std::size_t count = 0;
    while (count < characters) {
        const Piece& piece = pieces[random() % std::size(pieces)];
        if (count + piece.characters > characters) {
            line.append(characters - count, 'x');
            break;
        }
        line += piece.units;
        count += piece.characters;
    }
    return line;
}

std::string withCrLf(const std::string& lf) {
    std::string crlf;
    crlf.reserve(lf.size() + lf.size() / 16);
    for (const char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

class PaneBench {
public:
    explicit PaneBench(int runs) : runs_(runs) {
        pane_.resize(1000, 700);
        pane_.show();
        pane_.setFocus();
        QCoreApplication::processEvents();
    }

    void firstPaint(const char* what, std::string text) {
        Document document(text);
        text = {};
        report(what, timed([&] {
                   pane_.setDocument(std::move(document));
                   pane_.viewport()->repaint();
               }),
               FirstPaintBar);
    }

    // Pages down from the middle of the document.
    void pageDown(const char* what) {
        pane_.setSelStart(pane_.document().lineStart(pane_.document().lineCount() / 2));
        settle();
        report(what, medianOf(runs_, [&] { pressKey(Qt::Key_PageDown); }, [&] { settle(); }), FrameBar);
    }

    // Jumps to the middle of the first line, then pages sideways from there.
    void pageSideways(const char* jump, const char* what) {
        QScrollBar* bar = pane_.horizontalScrollBar();
        note(jump, timed([&] {
                 bar->setValue(bar->maximum() / 2);
                 pane_.viewport()->repaint();
             }));
        report(what, medianOf(runs_, [&] {
                   bar->setValue(bar->value() + bar->pageStep());
                   pane_.viewport()->repaint();
               }),
               FrameBar);
    }

    // Types into the middle of the document.
    void keystroke(const char* first, const char* what) {
        pane_.setSelStart(pane_.document().size() / 2);
        pane_.ensureVisible(pane_.caretPosition());
        settle();
        note(first, timed([&] { pressKey(Qt::Key_X); }));
        settle();
        report(what, medianOf(runs_, [&] { pressKey(Qt::Key_X); }, [&] { settle(); }), FrameBar);
    }

private:
    // One key, from its event to the end of the repaint it causes.
    void pressKey(Qt::Key key) {
        const QString text = key == Qt::Key_X ? QStringLiteral("x") : QString();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&pane_, &press);
        pane_.viewport()->repaint();
    }
    void settle() {
        QCoreApplication::processEvents();
        pane_.viewport()->repaint();
    }

    TextPane pane_;
    int runs_;
};

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchOptions options = parseOptions(argc, argv, {.sizeMb = 100, .runs = 20});
    const std::size_t sizeMb = options.sizeMb;
    const int runs = options.runs;
    QApplication application(argc, argv);
    PaneBench bench(runs);
    const std::size_t size = sizeMb * 1'000'000;

    // Each text twice: with bare LFs (one display line) and with CR LF line ends.
    const auto lfAndCrLf = [&](const char* kind, const std::string& text) {
        std::printf("text pane, %zu MB %sLF document (one display line)\n", sizeMb, kind);
        bench.firstPaint("first paint", text);
        bench.pageSideways("first jump to the middle of the line (indexes its columns)", "scroll one page sideways");
        bench.keystroke("first keystroke in the middle (moves the gap there)", "keystroke in the middle, to repaint done");
        std::printf("text pane, %zu MB %sCR LF document\n", sizeMb, kind);
        bench.firstPaint("first paint", withCrLf(text));
        bench.pageDown("scroll one page down from the middle");
        bench.keystroke("first keystroke in the middle (moves the gap there)", "keystroke in the middle, to repaint done");
    };
    lfAndCrLf("", makeLfText(size));
    lfAndCrLf("CJK-heavy ", makeCjkText(size));

    std::printf("text pane, one line of 10 million characters (words and tabs)\n");
    std::string line = makeLfText(10'000'000);
    std::replace(line.begin(), line.end(), '\n', '\t');
    line.resize(10'000'000);
    bench.firstPaint("first paint", std::move(line));
    bench.pageSideways("first jump to the middle of the line (indexes its columns)", "scroll one page sideways");

    std::printf("text pane, one line of 10 million characters of mixed widths\n");
    bench.firstPaint("first paint", makeMixedWidthLine(10'000'000));
    bench.pageSideways("first jump to the middle of the line (indexes its columns)", "scroll one page sideways");
    bench.keystroke("first keystroke in the middle (moves the gap there)", "keystroke in the middle, to repaint done");
    return 0;
}
