// Measures the engine against physical limits and against unix2dos, in one run, and
// prints each figure as a ratio with its bar:
//   - fixer throughput against memcpy of the same bytes (bar: at least 1/3);
//   - load, fix and save of a LF file against unix2dos on a copy of it (bar: at most 0.5);
//   - peak memory of that load, fix and save against the file size (bar: under 4x);
//   - the saved bytes against unix2dos's output (must be identical);
//   - the program's own `norvane --fix FILE`, a whole process, against unix2dos on a copy
//     (bar: at most 0.5, output identical).
// Usage: norvane_bench [--size-mb N] [--runs N] [--program PATH_OF_NORVANE]
// Internal: norvane_bench --job FILE (load, fix and save FILE; prints seconds and peak bytes).

#include "engine/document_file.h"
#include "engine/file_fixer.h"
#include "engine/line_fixer.h"
#include "support/bench_support.h"

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

// The process's peak resident memory in bytes. Read from /proc rather than getrusage:
// a spawned child's ru_maxrss can still hold its parent's peak from before the exec.
double peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) * 1024.0;
    return 0;
}

// Loads, fixes and saves one file; prints the elapsed seconds and the peak memory.
int runJob(const fs::path& file) {
    const auto start = Clock::now();
    norvane::fixFile(file);
    std::printf("%.6f %.0f\n", secondsSince(start), peakResidentBytes());
    return 0;
}

void benchFixer(const fs::path& input, std::size_t size, int runs) {
    std::vector<char> source(size, 'x'), target(size, 'y');
    std::vector<double> copyTimes, fixTimes;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        std::memcpy(target.data(), source.data(), size);
        copyTimes.push_back(secondsSince(start));

        norvane::Document document = norvane::loadDocument(input);
        start = Clock::now();
        norvane::fixLineEnds(document);
        fixTimes.push_back(secondsSince(start));
    }
    const double copy = median(copyTimes), fix = median(fixTimes), mb = size / 1e6;
    const double ratio = copy / fix;
    std::printf("fixer:   %.0f MB fixed in %.1f ms (%.2f GB/s); memcpy %.1f ms (%.2f GB/s)\n", mb, fix * 1e3,
                mb / fix / 1e3, copy * 1e3, mb / copy / 1e3);
    std::printf("  -> fixer throughput = %.2f x memcpy (bar: >= 0.33)  %s\n", ratio, verdict(ratio >= 1.0 / 3));
}

void benchAgainstUnix2dos(const fs::path& self, const fs::path& input, const fs::path& folder, std::size_t size,
                          int runs) {
    std::vector<double> peaks;
    const PeerComparison comparison = compareWithUnix2dos(input, folder, runs, [&](const fs::path& copy) {
        const ChildResult job = runChild({self.string(), "--job", copy.string()});
        double seconds = 0, peak = 0;
        if (!job.ok || !(std::istringstream(job.output) >> seconds >> peak)) {
            std::printf("load/fix/save job failed\n");
            std::exit(1);
        }
        peaks.push_back(peak);
        return seconds;
    });
    const double mb = size / 1e6, peak = median(peaks);
    std::printf("save:    load, fix and save %.0f MB in %.1f ms\n", mb, comparison.ourSeconds * 1e3);
    printPeerComparison(comparison);
    std::printf("memory:  peak resident %.0f MB for a %.0f MB file\n", peak / 1e6, mb);
    std::printf("  -> peak = %.2f x file size (bar: < 4)  %s\n", peak / size, verdict(peak / size < 4));
}

void benchFixCommand(const std::string& program, const fs::path& input, const fs::path& folder, std::size_t size,
                     int runs) {
    if (program.empty() || !fs::exists(program)) {
        std::printf("command: norvane --fix skipped: no program (built with the user interface, or --program PATH)\n");
        return;
    }
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
        std::printf("command: norvane --fix on %.0f MB, whole process, %s cache, best of %d: %.1f ms\n", size / 1e6,
                    comparison.cold ? "cold" : "warm", runs, comparison.ourSeconds * 1e3);
        printPeerComparison(comparison);
    }
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
    const fs::path input = folder / "input.txt";
    const std::string text = makeLfText(options.sizeMb << 20);
    writeFile(input, text);
    std::printf("input: %zu bytes, %zu lines ending in LF\n", text.size(),
                static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));

    benchFixer(input, text.size(), options.runs);
    benchAgainstUnix2dos(fs::canonical("/proc/self/exe"), input, folder, text.size(), options.runs);
    benchFixCommand(program, input, folder, text.size(), options.runs);
    return 0;
}
