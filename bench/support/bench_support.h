#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// What the benchmarks share: generated inputs, timing, and running other programs.
namespace norvane::bench {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start);
double median(std::vector<double> values);
const char* verdict(bool pass);

// Text of words and spaces in lines of 0 to 14 words, every line ending in LF; always the
// same text for the same size.
std::string makeLfText(std::size_t size);

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct ChildResult {
    bool ok = false;
    double seconds = 0;  // wall time from start to exit
    std::string output;  // what it wrote to standard output
};

// Runs a program (looked up on PATH) to its end.
ChildResult runChild(std::vector<std::string> arguments);

// Starts a program without waiting for it; returns its process id, or -1.
pid_t startChild(std::vector<std::string> arguments);
void stopChild(pid_t child);

}  // namespace norvane::bench
