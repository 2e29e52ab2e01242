// Measures the engine against physical limits and against its peers, in one run, and
// prints each figure as a ratio with its bar:
//   - the UTF-8 check of a load, on real text (4.5% of its bytes outside ASCII), against
//     reading the same bytes (memcpy);
//   - the fixer: fixing costs the table of pieces, so what is measured is producing the
//     fixed bytes in runs, as the save does, against memcpy of the original (bar: at least 1/3);
//   - the first edit in the middle of the loaded and fixed document, and finding its last
//     line (Ctrl+End), against the 50 ms that a user notices; also the time to find its
//     longest line, one pass over the text;
//   - peak memory of a whole process that loads, fixes and saves a file, resident pages of
//     the mapped file included, against the file's size: real text (bar: 1.2 x) and a file
//     of nothing but LFs (bar: 2 x);
//   - the program's own `norvane --fix FILE`, a whole process, against unix2dos (bar: 0.25 x)
//     and `sed -i 's/$/\r/'` (bar: 1.0 x) on copies of the same file, on real and ASCII-only
//     text, warm and cold cache, best of interleaved runs; the output must be identical.
// Usage: norvane_bench [--size-mb N] [--runs N] [--program PATH_OF_NORVANE]
// Internal: norvane_bench --job FILE (load, fix and save FILE; prints seconds and peak bytes).

#include "engine/document_file.h"
#include "engine/file_fixer.h"
#include "engine/line_fixer.h"
#include "engine/text_encoding.h"
#include "support/bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace norvane::bench;

// The process's peak resident memory in bytes, anonymous and file-backed pages alike.
// Read from /proc rather than getrusage: a spawned child's ru_maxrss can still hold its
// parent's peak from before the exec.
double peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) * 1024.0;
    return 0;
}

// Loads, fixes and saves one file; prints the elapsed seconds and the peak memory.
int runJob(const fs::path& file) {
    const auto start = Clock::now();
    norvane::fixFiles({file}, [](std::size_t, const norvane::FixOutcome&) {});
    std::printf("%.6f %.0f\n", secondsSince(start), peakResidentBytes());
    return 0;
}

// Best of `runs` timings of `work`.
template <class Work>
double bestTime(int runs, Work&& work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        work();
        times.push_back(secondsSince(start));
    }
    return best(times);
}

void benchEngine(const fs::path& input, const std::string& text, int runs) {
    const std::size_t size = text.size();
    std::vector<char> target(2 * size);
    const double copy = bestTime(runs, [&] { std::memcpy(target.data(), text.data(), size); });
    const double check = bestTime(runs, [&] {
        if (!norvane::isValidUtf8(text)) std::exit(1);
    });
    std::printf("check:   UTF-8 check of %.0f MB (%.1f%% outside ASCII) in %.1f ms; memcpy %.1f ms\n", size / 1e6,
                100 * nonAsciiShare(text), check * 1e3, copy * 1e3);
    std::printf("  -> check throughput = %.2f x memcpy\n", copy / check);

    const auto loadStart = Clock::now();
    norvane::Document document = norvane::loadDocument(input);
    const double load = secondsSince(loadStart);
    const auto fixStart = Clock::now();
    norvane::fixLineEnds(document);
    const double fix = secondsSince(fixStart);
    const std::size_t fixedSize = document.size();
    // As the save does: the text in runs, each handed on to be written.
    std::size_t handed = 0;
    const double expand = bestTime(runs, [&] {
        document.forEachRun(0, fixedSize, [&](std::span<const char> run) { handed += run.size() + run.back(); });
    });
    if (handed == 0) std::exit(1);
    const double copyFixed = bestTime(runs, [&] { std::memcpy(target.data(), text.data(), std::min(fixedSize, size)); });
    std::printf("load:    %.0f MB loaded (warm cache) in %.1f ms; fixed in %.3f ms\n", size / 1e6, load * 1e3, fix * 1e3);
    std::printf("fixer:   fixed text of %.0f MB produced in %.1f ms; memcpy of the original %.1f ms\n", fixedSize / 1e6,
                expand * 1e3, copyFixed * 1e3);
    const double ratio = copyFixed / expand;
    std::printf("  -> fixer throughput = %.2f x memcpy (bar: >= 0.33)  %s\n", ratio, verdict(ratio >= 1.0 / 3));

    const auto editStart = Clock::now();
    document.replace(document.size() / 2, 0, "x");
    const double edit = secondsSince(editStart);
    const auto endStart = Clock::now();
    const std::size_t last = document.lineCount() - 1;
    const std::size_t lastLine = document.lineOf(document.size());
    const std::size_t lastStart = document.lineStart(last);
    const double end = secondsSince(endStart);
    if (lastLine != last || lastStart > document.size()) std::exit(1);
    const auto longestStart = Clock::now();
    const std::size_t longest = document.longestLine();
    const double longestTime = secondsSince(longestStart);
    if (longest >= document.lineCount()) std::exit(1);
    std::printf("edit:    first edit in the middle %.3f ms; last line found %.3f ms; longest line found %.1f ms\n",
                edit * 1e3, end * 1e3, longestTime * 1e3);
    std::printf("  -> slowest = %.3f ms (bar: < 50)  %s\n", std::max(edit, end) * 1e3,
                verdict(std::max(edit, end) < 0.05));
}

void benchMemory(const fs::path& self, const fs::path& folder, const std::string& what, const std::string& text,
                 double bar) {
    const fs::path file = folder / "memory.txt";
    writeFile(file, text);
    const ChildResult job = runChild({self.string(), "--job", file.string()});
    double seconds = 0, peak = 0;
    if (!job.ok || !(std::istringstream(job.output) >> seconds >> peak)) {
        std::printf("load/fix/save job failed\n");
        std::exit(1);
    }
    fs::remove(file);
    const double ratio = peak / static_cast<double>(text.size());
    std::printf("memory:  load, fix and save of %s, %.0f MB: %.0f ms, peak resident %.0f MB\n", what.c_str(),
                text.size() / 1e6, seconds * 1e3, peak / 1e6);
    std::printf("  -> peak = %.2f x file size (bar: <= %.1f)  %s\n", ratio, bar, verdict(ratio <= bar));
}

void benchFixCommand(const std::string& program, const fs::path& folder, const std::string& what,
                     const std::string& text, int runs) {
    if (program.empty() || !fs::exists(program)) {
        std::printf("command: norvane --fix skipped: no program (built with the user interface, or --program PATH)\n");
        return;
    }
    const fs::path input = folder / "input.txt";
    writeFile(input, text);
    const auto fix = [&](const fs::path& copy) {
        const ChildResult run = runChild({program, "--fix", copy.string()});
        if (!run.ok) {
            std::printf("norvane --fix failed\n");
            std::exit(1);
        }
        return run.seconds;
    };
    for (const Cache cache : {Cache::Warm, Cache::Cold}) {
        const PeerComparison comparison = compareWithUnix2dos(input, folder, runs, fix, cache);
        if (cache == Cache::Cold && !comparison.cold) {
            std::printf("command: cold runs skipped: the page cache can't be dropped (needs root)\n");
            continue;
        }
        std::printf("command: norvane --fix on %s, %.0f MB, whole process, %s cache, best of %d: %.1f ms\n",
                    what.c_str(), text.size() / 1e6, comparison.cold ? "cold" : "warm", runs,
                    comparison.ourSeconds * 1e3);
        printPeerComparison(comparison);
    }
    fs::remove(input);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--job") return runJob(argv[i + 1]);
#ifdef NORVANE_PROGRAM
    std::string program = NORVANE_PROGRAM;
#else
    std::string program;
#endif
    const BenchOptions options = parseOptions(argc, argv, {}, [&](int index) {
        if (std::string(argv[index]) != "--program" || index + 1 >= argc) return 0;
        program = argv[index + 1];
        return 2;
    });
    const ScratchFolder scratch;
    const fs::path folder = scratch.path();
    const std::size_t size = options.sizeMb << 20;
    const fs::path self = fs::canonical("/proc/self/exe");
    {
        const std::string text = makeLfText(size);
        const fs::path input = folder / "input.txt";
        writeFile(input, text);
        std::printf("input: %zu bytes, %zu lines ending in LF, %.1f%% of the bytes outside ASCII\n", text.size(),
                    static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), 100 * nonAsciiShare(text));
        benchEngine(input, text, options.runs);
        fs::remove(input);
        benchMemory(self, folder, "real text", text, 1.2);
    }
    benchMemory(self, folder, "a file of LFs only", std::string(size, '\n'), 2.0);
    benchFixCommand(program, folder, "real text", makeLfText(size), options.runs);
    benchFixCommand(program, folder, "ASCII-only text", makeLfText(size, true), options.runs);
    return 0;
}
