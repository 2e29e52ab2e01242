#include "support/bench_support.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

extern char** environ;

namespace norvane::bench {
namespace {

pid_t spawn(std::vector<std::string>& arguments, int outputFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd >= 0) posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

}  // namespace

BenchOptions parseOptions(int argc, char** argv, BenchOptions options, const std::function<int(int)>& extra) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--size-mb" && i + 1 < argc) {
            options.sizeMb = std::stoul(argv[++i]);
        } else if (argument == "--runs" && i + 1 < argc) {
            options.runs = std::max(1, std::stoi(argv[++i]));
        } else if (const int taken = extra ? extra(i) : 0; taken > 0) {
            i += taken - 1;
        } else {
            std::fprintf(stderr, "usage: %s [--size-mb N] [--runs N]\n", argv[0]);
            std::exit(2);
        }
    }
    return options;
}

bool dropPageCache() {
    sync();
    std::ofstream control("/proc/sys/vm/drop_caches");
    return static_cast<bool>(control << "3\n" << std::flush);
}

PeerComparison compareWithUnix2dos(const std::filesystem::path& input, const std::filesystem::path& folder,
                                   int runs, const std::function<double(const std::filesystem::path&)>& ours,
                                   Cache cache) {
    namespace fs = std::filesystem;
    const fs::path copies[] = {folder / "ours.txt", folder / "unix2dos.txt", folder / "sed.txt"};
    std::vector<double> times[3];
    bool havePeer = true, haveSed = true, cold = cache == Cache::Cold;
    // Each side runs first in turn, so that none always finds the machine in the state
    // another left it in.
    for (int run = 0; run < runs; ++run) {
        for (const fs::path& copy : copies) fs::copy_file(input, copy, fs::copy_options::overwrite_existing);
        for (int turn = 0; turn < 3; ++turn) {
            const int side = (turn + run) % 3;
            if (cold) cold = dropPageCache();
            if (side == 0) {
                times[0].push_back(ours(copies[0]));
            } else if (side == 1) {
                const ChildResult peer = runChild({"unix2dos", "-q", copies[1].string()});
                havePeer = havePeer && peer.ok;
                times[1].push_back(peer.seconds);
            } else {
                const ChildResult peer = runChild({"sed", "-i", "s/$/\r/", copies[2].string()});
                haveSed = haveSed && peer.ok;
                times[2].push_back(peer.seconds);
            }
        }
    }
    PeerComparison comparison;
    comparison.ourSeconds = best(times[0]);
    comparison.cold = cold;
    const std::string result = readFile(copies[0]);
    if (havePeer) {
        comparison.peerSeconds = best(times[1]);
        comparison.identical = result == readFile(copies[1]);
    }
    if (haveSed) {
        comparison.sedSeconds = best(times[2]);
        comparison.sedIdentical = result == readFile(copies[2]);
    }
    return comparison;
}

void printPeerComparison(const PeerComparison& comparison) {
    const char* cache = comparison.cold ? "cold cache" : "warm cache";
    if (comparison.peerSeconds == 0) {
        std::printf("  unix2dos not found: comparison skipped (install the dos2unix package)\n");
    } else {
        const double ratio = comparison.ourSeconds / comparison.peerSeconds;
        std::printf("  unix2dos on the same file (%s, best of runs): %.1f ms\n", cache, comparison.peerSeconds * 1e3);
        std::printf("  -> time = %.2f x unix2dos (bar: <= 0.25)  %s\n", ratio, verdict(ratio <= 0.25));
        std::printf("  -> saved bytes identical to unix2dos output: %s  %s\n", comparison.identical ? "yes" : "NO",
                    verdict(comparison.identical));
    }
    if (comparison.sedSeconds > 0) {
        const double ratio = comparison.ourSeconds / comparison.sedSeconds;
        std::printf("  sed -i 's/$/\\r/' on the same file (%s, best of runs): %.1f ms\n", cache,
                    comparison.sedSeconds * 1e3);
        std::printf("  -> time = %.2f x sed (bar: <= 1.0)  %s; bytes identical: %s\n", ratio, verdict(ratio <= 1.0),
                    comparison.sedIdentical ? "yes" : "NO");
    }
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double best(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

std::string makeLfText(std::size_t size, bool asciiOnly) {
    static const char* const asciiWords[] = {"lorem", "ipsum", "dolor", "sit", "amet", "consectetur",
                                             "adipiscing", "elit", "sed", "do", "eiusmod", "tempor"};
    // Words outside ASCII, one word in twelve: about 4.5% of the bytes.
    static const char* const otherWords[] = {"caf\xC3\xA9", "gr\xC3\xB6\xC3\x9F" "e", "\xE2\x82\xAC" "10",
                                             "na\xC3\xAFve", "\xE6\x97\xA5\xE6\x9C\xAC"};
    std::mt19937 random(1);
    std::string text;
    text.reserve(size + 128);
    while (text.size() < size) {
        const int count = static_cast<int>(random() % 15);
        for (int i = 0; i < count; ++i) {
            if (i) text += ' ';
            const bool other = !asciiOnly && random() % 12 == 0;
            text += other ? otherWords[random() % std::size(otherWords)] : asciiWords[random() % std::size(asciiWords)];
        }
        text += '\n';
    }
    return text;
}

double nonAsciiShare(const std::string& text) {
    const auto count = std::count_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return text.empty() ? 0 : static_cast<double>(count) / static_cast<double>(text.size());
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ScratchFolder::ScratchFolder()
    : path_(std::filesystem::temp_directory_path() / ("norvane-bench-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ChildResult runChild(std::vector<std::string> arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    const auto start = Clock::now();
    const pid_t child = spawn(arguments, pipeEnds[1]);
    close(pipeEnds[1]);
    ChildResult result;
    char buffer[4096];
    for (ssize_t got; child > 0 && (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.output.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    if (child <= 0) return result;
    int status = 0;
    waitpid(child, &status, 0);
    result.seconds = secondsSince(start);
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

pid_t startChild(std::vector<std::string> arguments) { return spawn(arguments, -1); }

void stopChild(pid_t child) {
    if (child <= 0) return;
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
}

}  // namespace norvane::bench
