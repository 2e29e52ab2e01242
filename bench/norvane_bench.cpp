// Measures the engine against physical limits and against unix2dos, in one run, and
// prints each figure as a ratio with its bar:
//   - fixer throughput against memcpy of the same bytes (bar: at least 1/3);
//   - load, fix and save of a LF file against unix2dos on a copy of it (bar: at most 0.5);
//   - peak memory of that load, fix and save against the file size (bar: under 4x);
//   - the saved bytes against unix2dos's output (must be identical).
// Usage: norvane_bench [--size-mb N] [--runs N]
// Internal: norvane_bench --job FILE (load, fix and save FILE; prints elapsed seconds).

#include "engine/document_file.h"
#include "engine/line_fixer.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Text of words and spaces in lines of 0 to 14 words, every line ending in LF.
std::string makeLfText(std::size_t size) {
    static const char* const words[] = {"lorem", "ipsum", "dolor", "sit", "amet", "consectetur",
                                        "adipiscing", "elit", "sed", "do"};
    std::mt19937 random(1);
    std::string text;
    text.reserve(size + 128);
    while (text.size() < size) {
        const int count = static_cast<int>(random() % 15);
        for (int i = 0; i < count; ++i) {
            if (i) text += ' ';
            text += words[random() % 10];
        }
        text += '\n';
    }
    return text;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ChildResult {
    bool ok = false;
    double seconds = 0;  // wall time from spawn to exit
    std::string output;
};

// Runs a program to its end and reports its wall time, peak memory and standard output.
ChildResult runChild(std::vector<std::string> arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const auto start = Clock::now();
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    ChildResult result;
    if (spawned != 0) {
        close(pipeEnds[0]);
        return result;
    }
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.output.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.seconds = secondsSince(start);
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

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
    norvane::Document document = norvane::loadDocument(file);
    norvane::fixLineEnds(document);
    norvane::saveDocument(document, file);
    std::printf("%.6f %.0f\n", secondsSince(start), peakResidentBytes());
    return 0;
}

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

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
    const fs::path ours = folder / "ours.txt", theirs = folder / "theirs.txt";
    std::vector<double> ourTimes, peerTimes, peaks;
    bool havePeer = true;
    for (int run = 0; run < runs; ++run) {
        fs::copy_file(input, ours, fs::copy_options::overwrite_existing);
        fs::copy_file(input, theirs, fs::copy_options::overwrite_existing);
        ChildResult job = runChild({self.string(), "--job", ours.string()});
        if (!job.ok) {
            std::printf("load/fix/save job failed\n");
            return;
        }
        double seconds = 0, peak = 0;
        std::istringstream(job.output) >> seconds >> peak;
        ourTimes.push_back(seconds);
        peaks.push_back(peak);
        ChildResult peer = runChild({"unix2dos", "-q", theirs.string()});
        if (!peer.ok) {
            havePeer = false;
            break;
        }
        peerTimes.push_back(peer.seconds);
    }
    const double mb = size / 1e6, ourTime = median(ourTimes), peak = median(peaks);
    std::printf("save:    load, fix and save %.0f MB in %.1f ms\n", mb, ourTime * 1e3);
    if (havePeer) {
        const double peerTime = median(peerTimes);
        std::printf("  unix2dos on the same file: %.1f ms\n", peerTime * 1e3);
        std::printf("  -> time = %.2f x unix2dos (bar: <= 0.5)  %s\n", ourTime / peerTime,
                    verdict(ourTime / peerTime <= 0.5));
        const bool same = readFile(ours) == readFile(theirs);
        std::printf("  -> saved bytes identical to unix2dos output: %s  %s\n", same ? "yes" : "NO", verdict(same));
    } else {
        std::printf("  unix2dos not found: comparison skipped (install the dos2unix package)\n");
    }
    std::printf("memory:  peak resident %.0f MB for a %.0f MB file\n", peak / 1e6, mb);
    std::printf("  -> peak = %.2f x file size (bar: < 4)  %s\n", peak / size, verdict(peak / size < 4));
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t sizeMb = 100;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--job" && i + 1 < argc) return runJob(argv[i + 1]);
        if (argument == "--size-mb" && i + 1 < argc) sizeMb = std::stoul(argv[++i]);
        else if (argument == "--runs" && i + 1 < argc) runs = std::max(1, std::stoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: %s [--size-mb N] [--runs N]\n", argv[0]);
            return 2;
        }
    }
    const fs::path folder = fs::temp_directory_path() / ("norvane-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path input = folder / "input.txt";
    const std::string text = makeLfText(sizeMb << 20);
    writeFile(input, text);
    std::printf("input: %zu bytes, %zu lines ending in LF\n", text.size(),
                static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));

    benchFixer(input, text.size(), runs);
    benchAgainstUnix2dos(fs::canonical("/proc/self/exe"), input, folder, text.size(), runs);
    fs::remove_all(folder);
    return 0;
}
