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
#include <sys/resource.h>

#include <csignal>
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
#endif

}  // namespace norvane::test
