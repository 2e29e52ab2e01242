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

#include <algorithm>
#include <csignal>
#include <fstream>
#include <stdexcept>
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

// In a child process: becomes `identity`, when one is given, and runs `work`; returns what
// it returned, or "FileError: " or "exception: " and the message when it threw.
inline std::string reportOf(const std::function<std::string()>& work, const std::optional<Identity>& identity) {
    if (identity && (::setgroups(identity->groups.size(), identity->groups.data()) != 0 ||
                     ::setgid(identity->gid) != 0 || ::setuid(identity->uid) != 0))
        return "cannot become the test user";
    try {
        return work();
    } catch (const platform::FileError& error) {
        return std::string("FileError: ") + error.what();
    } catch (const std::exception& error) {
        return std::string("exception: ") + error.what();
    }
}

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
        const std::string report = reportOf(work, identity);
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

// A child process that stops at named points of its work until the test lets it go on, so
// that the test can act there as another program would: change the file, start a second
// saver, or kill it. Its work returns a report, or throws as in runInChild.
class SteppedChild {
public:
    using Pause = std::function<void(const std::string& point)>;

    explicit SteppedChild(const std::function<std::string(const Pause&)>& work,
                          const std::optional<Identity>& identity = {}) {
        std::signal(SIGPIPE, SIG_IGN);  // a child that ended is seen by its events, not by a signal
        int events[2], resume[2];
        if (::pipe(events) != 0 || ::pipe(resume) != 0) throw std::runtime_error("no pipe");
        child_ = ::fork();
        if (child_ == 0) {
            ::close(events[0]);
            ::close(resume[1]);
            auto send = [&](const std::string& line) {
                for (std::size_t at = 0; at < line.size();) {
                    const ssize_t written = ::write(events[1], line.data() + at, line.size() - at);
                    if (written <= 0) ::_exit(3);
                    at += static_cast<std::size_t>(written);
                }
            };
            const Pause pause = [&](const std::string& point) {
                send("pause " + point + "\n");
                char go = 0;
                if (::read(resume[0], &go, 1) != 1) ::_exit(4);
            };
            std::string report = reportOf([&] { return work(pause); }, identity);
            std::replace(report.begin(), report.end(), '\n', ' ');
            send("report " + report + "\n");
            ::_exit(0);
        }
        ::close(events[1]);
        ::close(resume[0]);
        events_ = events[0];
        resume_ = resume[1];
    }
    SteppedChild(const SteppedChild&) = delete;
    ~SteppedChild() {
        if (child_ > 0) kill();
        ::close(events_);
        ::close(resume_);
    }

    // Waits until the child pauses at `point`, letting it go on past other points; false
    // when it ended first.
    bool runTo(const std::string& point) {
        for (;;) {
            const std::string event = nextEvent();
            if (event == "pause " + point) return paused_ = true;
            if (!event.starts_with("pause ")) {
                report_ = event.starts_with("report ") ? event.substr(7) : event;
                return false;
            }
            resume();
        }
    }
    // Lets the child go on from its pause.
    void resume() {
        paused_ = false;
        const char go = 1;
        if (::write(resume_, &go, 1) != 1) ADD_FAILURE() << "the child is gone";
    }
    // Lets the child run to its end, past every further pause; returns its report.
    std::string finish() {
        if (paused_) resume();
        if (report_.empty()) runTo("\n");
        reap();
        return report_;
    }
    // Ends the child by SIGKILL where it stands.
    void kill() {
        paused_ = false;
        ::kill(child_, SIGKILL);
        reap();
    }

private:
    // The next line the child sends; "ended" when it sends no more, "hung" after a minute,
    // which only a hang takes.
    std::string nextEvent() {
        while (buffer_.find('\n') == std::string::npos) {
            pollfd ready{events_, POLLIN, 0};
            if (::poll(&ready, 1, 60000) <= 0) return "hung";
            char bytes[4096];
            const ssize_t got = ::read(events_, bytes, sizeof bytes);
            if (got <= 0) return "ended";
            buffer_.append(bytes, static_cast<std::size_t>(got));
        }
        const std::size_t end = buffer_.find('\n');
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
    }
    void reap() {
        int status = 0;
        if (child_ > 0 && ::waitpid(child_, &status, 0) == child_ && WIFSIGNALED(status) && report_.empty())
            report_ = "signal " + std::to_string(WTERMSIG(status));
        child_ = -1;
    }

    pid_t child_ = -1;
    bool paused_ = false;
    int events_ = -1, resume_ = -1;
    std::string buffer_, report_;
};
#endif

}  // namespace norvane::test
