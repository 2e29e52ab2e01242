#include "platform/file_io.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace norvane::platform {
namespace {
namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

void writeFile(const fs::path& path, std::string_view bytes) {
    writeFileAtomically(path, [&](ByteSink& sink) { sink.write(bytes.data(), bytes.size()); });
}

TEST(FileIo, ReadsAWholeFileWithTheRoomAskedFor) {
    test::TempFolder folder;
    std::mt19937 random(1);
    for (std::size_t size : {0, 1, (3 << 20) + 7}) {
        const std::string bytes = test::randomBytes(random, size);
        writeBytes(folder / "file", bytes);
        std::size_t asked = 12345;
        FileContents contents = readWholeFile(folder / "file", [&](std::size_t fileSize) {
            asked = fileSize;
            return 2 * fileSize + 100;
        });
        EXPECT_EQ(asked, size);
        EXPECT_GE(contents.buffer.capacity(), 2 * size + 100);
        EXPECT_TRUE(std::string_view(contents.buffer.data(), contents.size) == bytes);
        // Too little room asked for still gives the whole file.
        contents = readWholeFile(folder / "file", [](std::size_t) { return std::size_t{0}; });
        EXPECT_TRUE(std::string_view(contents.buffer.data(), contents.size) == bytes);
    }
    for (const auto& bad : {folder / "missing.txt", folder.path})
        test::expectFileError([&] { readWholeFile(bad, [](std::size_t size) { return size; }); }, bad);
}

TEST(FileIo, WritesEveryPieceInOrder) {
    test::TempFolder folder;
    std::mt19937 random(2);
    const std::string bytes = test::randomBytes(random, (9 << 20) + 3);
    PageBuffer aligned(bytes.size());  // a large first piece from page-aligned memory, as documents are
    std::memcpy(aligned.data(), bytes.data(), bytes.size());
    writeFileAtomically(folder / "out.bin", [&](ByteSink& sink) {
        for (std::size_t at = 0, piece = (5 << 20) + 17; at < bytes.size(); at += piece) {
            const std::size_t next = at == 0 ? piece : random() % 4 ? random() % 5000 : random() % (5 << 20);
            piece = std::min<std::size_t>(bytes.size() - at, next);
            sink.write(aligned.data() + at, piece);
        }
    });
    EXPECT_TRUE(readBytes(folder / "out.bin") == bytes);
    writeFile(folder / "out.bin", "short");  // nothing of the longer file stays behind
    EXPECT_EQ(readBytes(folder / "out.bin"), "short");
    writeFile(folder / "out.bin", "");
    EXPECT_EQ(readBytes(folder / "out.bin"), "");
    EXPECT_EQ(folder.names(), std::set<std::string>{"out.bin"});
}

TEST(FileIo, FailingProducerLeavesTheOldFileAndNoStrayFile) {
    struct ProducerFailed {};
    test::TempFolder folder;
    const fs::path path = folder / "keep.txt";
    writeBytes(path, "old\r\ncontents");
    for (std::size_t written : {0, 10, 5 << 20}) {
        auto produce = [&](ByteSink& sink) {
            const std::string part(written, 'j');
            sink.write(part.data(), part.size());
            throw ProducerFailed();
        };
        EXPECT_THROW(writeFileAtomically(path, produce), ProducerFailed);
        EXPECT_EQ(readBytes(path), "old\r\ncontents");
        EXPECT_EQ(folder.names(), std::set<std::string>{"keep.txt"});
    }
    EXPECT_THROW(writeFileAtomically(folder / "new.txt", [](ByteSink&) { throw ProducerFailed(); }), ProducerFailed);
    EXPECT_EQ(folder.names(), std::set<std::string>{"keep.txt"});
}

TEST(FileIo, SavingOntoAFolderOrIntoAMissingOneFails) {
    test::TempFolder folder;
    fs::create_directory(folder / "sub");
    writeBytes(folder / "sub" / "inside.txt", "x");
    test::expectFileError([&] { writeFile(folder / "sub", "data"); }, folder / "sub");
    EXPECT_EQ(folder.names("sub"), std::set<std::string>{"inside.txt"});
    EXPECT_EQ(readBytes(folder / "sub" / "inside.txt"), "x");
    test::expectFileError([&] { writeFile(folder / "missing" / "a.txt", "data"); }, folder / "missing" / "a.txt");
    EXPECT_EQ(folder.names(), std::set<std::string>{"sub"});
}

#ifndef _WIN32
// POSIX systems add size limits, symbolic links and permissions.

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(FileIo, WriteBeyondTheFileSizeLimitFailsAndLeavesTheOldFile) {
    test::TempFolder folder;
    const fs::path path = folder / "big.txt";
    writeBytes(path, "old");
    for (auto [limit, size] : {std::pair{64 << 10, 256 << 10}, std::pair{1 << 20, 6 << 20}}) {
        const std::string bytes(size, 'z');
        const test::FileSizeLimit guard(limit);
        test::expectFileError([&] { writeFile(path, bytes); }, path);
        EXPECT_EQ(readBytes(path), "old");
        EXPECT_EQ(folder.names(), std::set<std::string>{"big.txt"});
    }
}

TEST(FileIo, SavingThroughALinkReplacesTheFileItNames) {
    test::TempFolder folder;
    fs::create_directory(folder / "real");
    fs::create_directory(folder / "links");
    const fs::path target = folder / "real" / "target.txt";
    writeBytes(target, "old");
    fs::create_symlink(target, folder / "absolute");
    fs::create_symlink("real/target.txt", folder / "relative");
    fs::create_symlink("../relative", folder / "links" / "chain");  // to a link, from another folder
    for (const fs::path& link : {folder / "absolute", folder / "relative", folder / "links" / "chain"}) {
        const fs::path linkTarget = fs::read_symlink(link);
        writeFile(link, "through " + link.string());
        EXPECT_EQ(readBytes(target), "through " + link.string());
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link), linkTarget);
    }
    fs::create_symlink("real/new.txt", folder / "dangling");  // names a file not there yet
    writeFile(folder / "dangling", "new");
    EXPECT_TRUE(fs::is_symlink(folder / "dangling"));
    EXPECT_EQ(readBytes(folder / "real" / "new.txt"), "new");
    EXPECT_EQ(folder.names("real"), (std::set<std::string>{"new.txt", "target.txt"}));
    EXPECT_EQ(folder.names(), (std::set<std::string>{"absolute", "dangling", "links", "real", "relative"}));

    fs::create_symlink("cycle-b", folder / "cycle-a");
    fs::create_symlink("cycle-a", folder / "cycle-b");
    test::expectFileError([&] { writeFile(folder / "cycle-a", "x"); }, folder / "cycle-");  // names either link
    EXPECT_TRUE(fs::is_symlink(folder / "cycle-a") && fs::is_symlink(folder / "cycle-b"));
    EXPECT_EQ(folder.names().size(), 7u);
}

TEST(FileIo, ReplacedFileKeepsItsModeAndNewFileFollowsTheUmask) {
    test::TempFolder folder;
    const fs::path path = folder / "kept.txt";
    for (mode_t mode : {0640, 0600, 0755}) {
        writeBytes(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        writeFile(path, "new");
        EXPECT_EQ(readBytes(path), "new");
        EXPECT_EQ(modeOf(path), mode);
    }
    for (auto [umask, mode] : {std::pair<mode_t, mode_t>{022, 0644}, {077, 0600}, {002, 0664}}) {
        const mode_t old = ::umask(umask);
        writeFile(folder / "fresh.txt", "new");
        ::umask(old);
        EXPECT_EQ(modeOf(folder / "fresh.txt"), mode);
        fs::remove(folder / "fresh.txt");
    }
}

#endif

}  // namespace
}  // namespace norvane::platform
