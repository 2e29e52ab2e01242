// The program without a window on many small files, as scripts call it, against unix2dos
// made as durable as our save (each file flushed to disk before the command ends):
//   - one process a file, 300 files of 4 KB: `norvane --fix F` against `unix2dos F; sync -f F`
//     (bar: 1.5 x);
//   - one command over 3,000 files of 4 KB: `norvane --fix F...` against `unix2dos F...;
//     sync -f` (bar: 1.0 x);
//   - `norvane --version` against `unix2dos --version`.
// Every figure is the best of --runs runs, the two sides taking turns; the fixed files are
// compared with unix2dos's byte for byte.
#include "support/bench_support.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace norvane::bench;

namespace {

// `count` files of about 4 KB of LF text, whole lines, each different, in a fresh folder
// under `root`.
std::vector<std::string> makeSmallFiles(const fs::path& root, const std::string& side, std::size_t count) {
    const std::string text = makeLfText(count * 4096 + 8192);
    fs::create_directories(root / side);
    std::vector<std::string> files;
    for (std::size_t i = 0, from = 0; i < count; ++i) {
        const std::size_t to = text.rfind('\n', from + 4096) + 1;
        const fs::path file = root / side / ("file-" + std::to_string(i) + ".txt");
        writeFile(file, text.substr(from, to - from));
        files.push_back(file.string());
        from = to;
    }
    return files;
}

// Runs each command in turn; the seconds they took in all, or a negative number on failure.
double runAll(const std::vector<std::vector<std::string>>& commands) {
    double seconds = 0;
    for (const auto& command : commands) {
        const ChildResult run = runChild(command);
        if (!run.ok) return -1;
        seconds += run.seconds;
    }
    return seconds;
}

struct Sides {
    std::vector<std::vector<std::string>> ours, peer;
};

// The best time of each side over `runs` runs, on fresh files each time.
void compare(const char* what, std::size_t count, int runs, double bar,
             const std::function<Sides(const std::vector<std::string>&, const std::vector<std::string>&)>& commands) {
    std::vector<double> ours, peer;
    bool identical = true;
    for (int run = 0; run < runs; ++run) {
        ScratchFolder folder;
        const auto ourFiles = makeSmallFiles(folder.path(), "ours", count);
        const auto peerFiles = makeSmallFiles(folder.path(), "peer", count);
        const Sides sides = commands(ourFiles, peerFiles);
        if (run % 2 == 0) {
            ours.push_back(runAll(sides.ours));
            peer.push_back(runAll(sides.peer));
        } else {
            peer.push_back(runAll(sides.peer));
            ours.push_back(runAll(sides.ours));
        }
        for (std::size_t i = 0; i < count; ++i) identical = identical && readFile(ourFiles[i]) == readFile(peerFiles[i]);
    }
    if (best(ours) < 0 || best(peer) < 0) {
        std::printf("%s: a command failed\n", what);
        return;
    }
    const double ratio = best(ours) / best(peer);
    std::printf("%s: norvane %.1f ms, unix2dos and sync %.1f ms (best of %d)\n  -> time = %.2f x (bar: <= %.1f)  %s\n"
                "  -> fixed files identical to unix2dos's: %s  %s\n",
                what, 1000 * best(ours), 1000 * best(peer), runs, ratio, bar, verdict(ratio <= bar),
                identical ? "yes" : "no", verdict(identical));
}

}  // namespace

int main(int argc, char** argv) {
    std::string program = NORVANE_PROGRAM;
    const BenchOptions options = parseOptions(argc, argv, {1, 5}, [&](int index) {
        if (std::string(argv[index]) != "--program" || index + 1 >= argc) return 0;
        program = argv[index + 1];
        return 2;
    });

    compare("one process a file, 300 files of 4 KB", 300, options.runs, 1.5,
            [&](const std::vector<std::string>& ours, const std::vector<std::string>& peer) {
                Sides sides;
                for (const std::string& file : ours) sides.ours.push_back({program, "--fix", file});
                for (const std::string& file : peer) {
                    sides.peer.push_back({"unix2dos", "-q", file});
                    sides.peer.push_back({"sync", "-f", file});
                }
                return sides;
            });
    compare("one command, 3000 files of 4 KB", 3000, options.runs, 1.0,
            [&](const std::vector<std::string>& ours, const std::vector<std::string>& peer) {
                Sides sides;
                std::vector<std::string> fix{program, "--fix"}, convert{"unix2dos", "-q"};
                fix.insert(fix.end(), ours.begin(), ours.end());
                convert.insert(convert.end(), peer.begin(), peer.end());
                sides.ours.push_back(fix);
                sides.peer.push_back(convert);
                sides.peer.push_back({"sync", "-f", peer.front()});
                return sides;
            });

    std::vector<double> ours, peer;
    for (int run = 0; run < 5 * options.runs; ++run) {
        ours.push_back(runChild({program, "--version"}).seconds);
        peer.push_back(runChild({"unix2dos", "--version"}).seconds);
    }
    std::printf("--version: norvane %.1f ms, unix2dos %.1f ms (best of %d) -> %.2f x\n", 1000 * best(ours),
                1000 * best(peer), 5 * options.runs, best(ours) / best(peer));
}
