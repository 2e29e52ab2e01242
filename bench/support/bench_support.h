#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// What the benchmarks share: generated inputs, timing, and running other programs.
namespace norvane::bench {

using Clock = std::chrono::steady_clock;

// Options every benchmark takes: --size-mb N (the generated input) and --runs N.
struct BenchOptions {
    std::size_t sizeMb = 100;
    int runs = 5;
};

// Reads the options, leaving the defaults given for those not on the command line;
// `extra` says how to treat any other argument: given its index, it returns how many
// arguments it took, or 0 for an unknown one. Prints the usage and exits on a bad one.
BenchOptions parseOptions(int argc, char** argv, BenchOptions defaults,
                          const std::function<int(int index)>& extra = {});

double secondsSince(Clock::time_point start);
double median(std::vector<double> values);
double best(const std::vector<double>& values);
const char* verdict(bool pass);

// Text of words and spaces in lines of 0 to 14 words (about 50 bytes on average), every
// line ending in LF; about 4.5% of its bytes outside ASCII, as real text has, or none with
// `asciiOnly`. Always the same text for the same size.
std::string makeLfText(std::size_t size, bool asciiOnly = false);

// The share of bytes outside ASCII.
double nonAsciiShare(const std::string& text);

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

// One way of turning a copy of an LF file into CR LF, compared with unix2dos and with
// `sed -i 's/$/\r/'` on other copies.
struct PeerComparison {
    double ourSeconds = 0;     // best of the runs
    double peerSeconds = 0;    // unix2dos, best of the runs; 0 when it is missing
    bool identical = false;    // ours and unix2dos's results, byte for byte
    double sedSeconds = 0;     // sed, best of the runs; 0 when it is missing
    bool sedIdentical = false;  // ours and sed's results, byte for byte
    bool cold = false;         // every run started with the page cache dropped
};

// Warm runs find the input in the page cache; cold runs start with the cache dropped (as
// root), so that reading it comes from the disk for both.
enum class Cache { Warm, Cold };

// Drops the page cache after writing everything out; false where that is not permitted.
bool dropPageCache();

// Copies `input` into `folder` for each of `runs` runs, once for each side, converts one
// copy with `ours` (which returns the seconds it took) and the others with unix2dos and sed,
// in turns that change from run to run, and compares them. Cold runs that can't drop the
// cache are reported as warm ones.
PeerComparison compareWithUnix2dos(const std::filesystem::path& input, const std::filesystem::path& folder,
                                   int runs, const std::function<double(const std::filesystem::path&)>& ours,
                                   Cache cache = Cache::Warm);

// Prints the comparison's ratios and byte identity with their verdicts: at most 0.25 x
// unix2dos and 1.0 x sed.
void printPeerComparison(const PeerComparison& comparison);

// Runs a program (looked up on PATH) to its end.
ChildResult runChild(std::vector<std::string> arguments);

// Starts a program without waiting for it; returns its process id, or -1.
pid_t startChild(std::vector<std::string> arguments);
void stopChild(pid_t child);

}  // namespace norvane::bench
