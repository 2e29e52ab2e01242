#pragma once

// Scratch folders and byte-exact file helpers for the file tests.

#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>

#ifndef _WIN32
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <optional>
#include <vector>
#endif

namespace norvane::test {
namespace fs = std::filesystem;

// A fresh folder of its own, removed with all it holds at the end of the test.
struct TempFolder {
    fs::path path;
    TempFolder() {
        std::random_device entropy;
        do path = fs::temp_directory_path() / ("norvane-test-" + std::to_string(entropy()));
        while (!fs::create_directory(path));
    }
    TempFolder(const TempFolder&) = delete;
    ~TempFolder() { std::error_code ignored; fs::remove_all(path, ignored); }
    fs::path operator/(const fs::path& name) const { return path / name; }
    // The names in the folder or in one inside it, to catch stray files.
    std::set<std::string> names(const fs::path& inside = {}) const {
        std::set<std::string> result;
        for (const auto& entry : fs::directory_iterator(path / inside)) result.insert(entry.path().filename().string());
        return result;
    }
};

inline void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string randomBytes(std::mt19937& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

// `action` must fail with a FileError whose message names `path`.
inline void expectFileError(const std::function<void()>& action, const fs::path& path) {
    try {
        action();
        ADD_FAILURE() << "no error for " << path;
    } catch (const platform::FileError& error) {
        EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos) << error.what();
    }
}

#ifndef _WIN32
// While it lives, writing a file beyond `bytes` fails with EFBIG instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) ADD_FAILURE() << "setrlimit failed";
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    void (*oldHandler_)(int);
    rlimit old_{};
};

#ifdef __linux__
// While it lives, the process can map at most `slack` bytes more than it has mapped now;
// beyond that, allocations fail.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(rlim_t slack) {
        ::getrlimit(RLIMIT_AS, &old_);
        rlim_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit limited = old_;
        limited.rlim_cur = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + slack;
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &limited) != 0) ADD_FAILURE() << "cannot limit the address space";
    }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    ~AddressSpaceLimit() { ::setrlimit(RLIMIT_AS, &old_); }

private:
    rlimit old_{};
};
#endif

// The user a child process runs as.
struct Identity {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;  // supplementary groups
};

// Runs `work` in a child process, as `identity` when one is given (which needs root), and
// returns what it returned: "FileError: " or "exception: " and the message when it threw,
// "signal N" when it was killed, "timed out" when it took longer than `seconds`.
inline std::string runInChild(const std::function<std::string()>& work,
                              const std::optional<Identity>& identity = {}, int seconds = 20) {
    int channel[2];
    if (::pipe(channel) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string report;
        if (identity && (::setgroups(identity->groups.size(), identity->groups.data()) != 0 ||
                         ::setgid(identity->gid) != 0 || ::setuid(identity->uid) != 0)) {
            report = "cannot become the test user";
        } else {
            try {
                report = work();
            } catch (const platform::FileError& error) {
                report = std::string("FileError: ") + error.what();
            } catch (const std::exception& error) {
                report = std::string("exception: ") + error.what();
            }
        }
        for (std::size_t at = 0; at < report.size();) {
            const ssize_t written = ::write(channel[1], report.data() + at, report.size() - at);
            if (written <= 0) break;
            at += static_cast<std::size_t>(written);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    bool timedOut = false;
    for (char buffer[4096];;) {
        pollfd ready{channel[0], POLLIN, 0};
        if (::poll(&ready, 1, seconds * 1000) <= 0) {
            timedOut = true;
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
        if (got <= 0) break;
        report.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (timedOut) return "timed out";
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return report;
}
#endif

}  // namespace norvane::test
