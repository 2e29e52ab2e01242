#include "support/bench_support.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
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

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

const char* verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

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
