// Measures the main window, printing each figure as a ratio or time with its bar:
//   - open, fix and save a LF file through the real window (offscreen, its file dialog
//     answered in place of a person) against unix2dos on a copy of the file (bar: <= 0.5);
//   - the time from starting the program to its window being shown (bar: under 300 ms),
//     measured in an X server (run under xvfb-run when there is no display).
// Usage: norvane_window_bench [--size-mb N] [--runs N]

#include "support/bench_support.h"
#include "ui/main/frm_main.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace norvane::bench;

// Answers every file dialog with one path.
class FixedPrompter final : public norvane::ui::FilePrompter {
public:
    explicit FixedPrompter(QString path) : path_(std::move(path)) {}
    std::optional<QString> askOpenPath(QWidget*, const norvane::ui::FilePromptRequest&) override { return path_; }
    std::optional<QString> askSavePath(QWidget*, const norvane::ui::FilePromptRequest&) override { return path_; }

private:
    QString path_;
};

class QuietMessages final : public norvane::ui::MessageSink {
public:
    void showMessage(const QString& text, const QString&) override {
        std::printf("  message: %s\n", text.toUtf8().constData());
    }
};

double openFixAndSave(const fs::path& file) {
    norvane::ui::frmMain::Services services;
    services.files = std::make_unique<FixedPrompter>(QString::fromStdString(file.string()));
    services.messages = std::make_unique<QuietMessages>();
    norvane::ui::frmMain window(std::string(), std::move(services));
    window.show();
    QApplication::processEvents();
    auto button = [&](const char* name) { return window.findChild<QPushButton*>(QString::fromLatin1(name)); };

    const auto start = Clock::now();
    button("butOpenFile")->click();
    QApplication::processEvents();
    button("butConvert")->click();
    QApplication::processEvents();
    button("butSaveFile")->click();
    QApplication::processEvents();
    return secondsSince(start);
}

void benchOpenFixSave(std::size_t sizeMb, int runs) {
    const ScratchFolder scratch;
    const fs::path input = scratch.path() / "input.txt";
    const std::string text = makeLfText(sizeMb << 20);
    writeFile(input, text);
    const PeerComparison comparison = compareWithUnix2dos(input, scratch.path(), runs, openFixAndSave);
    std::printf("window:  open, fix and save %.0f MB through the window in %.1f ms\n", text.size() / 1e6,
                comparison.ourSeconds * 1e3);
    printPeerComparison(comparison);
}

bool windowShown() { return runChild({"xdotool", "search", "--onlyvisible", "--name", "^Norvane v2"}).ok; }

void benchStartup(int runs) {
    if (!std::getenv("DISPLAY")) {
        std::printf("start-up: skipped, no X display (run under xvfb-run -a)\n");
        return;
    }
    if (!runChild({"xdotool", "version"}).ok) {
        std::printf("start-up: skipped, xdotool is not installed\n");
        return;
    }
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const pid_t program = startChild({NORVANE_PROGRAM});
        bool shown = false;
        while (!(shown = windowShown()) && secondsSince(start) < 10) std::this_thread::yield();
        if (shown) times.push_back(secondsSince(start));
        stopChild(program);
    }
    if (times.empty()) {
        std::printf("start-up: the window never appeared\n");
        return;
    }
    const double time = median(times);
    std::printf("start-up: window shown %.0f ms after start (bar: < 300 ms)  %s\n", time * 1e3,
                verdict(time < 0.3));
}

}  // namespace

int main(int argc, char** argv) {
    const BenchOptions options = parseOptions(argc, argv, {});
    // Before Qt starts here: the program is started in the real X server.
    benchStartup(options.runs);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchOpenFixSave(options.sizeMb, options.runs);
    return 0;
}
