#include "platform/file_io.h"
#include "platform/mapped_file.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <map>
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


// Files that a save or a read meets in users' hands. Each operation runs in a child
// process: as an unprivileged test user (created by number when the test runs as root),
// with a time limit, so a read that blocks fails instead of hanging the test. What a user
// sees is compared before and after: every name in the folder, its kind, mode, owner,
// group, links, bytes and extended attributes.

// When run as root: the test user, a second user, and a group they share.
constexpr uid_t TesterId = 61001, OtherId = 61002;
constexpr gid_t TeamId = 61003;

struct Seen {
    ino_t inode;
    std::string bytes;
    std::string rest;  // everything else that is seen, as text
};
using Snapshot = std::map<std::string, Seen>;

std::string attributesOf(const fs::path& path) {
    std::string names(4096, '\0'), text;
    const ssize_t size = ::llistxattr(path.c_str(), names.data(), names.size());
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names.c_str() + at)) + 1) {
        std::string value(4096, '\0');
        const ssize_t length = ::lgetxattr(path.c_str(), names.c_str() + at, value.data(), value.size());
        value.resize(static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
        text.append(" ").append(names.c_str() + at).append("=").append(value);
    }
    return text;
}

Snapshot snapshot(const fs::path& folder) {
    Snapshot seen;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        std::string rest = std::to_string(info.st_mode) + " " + std::to_string(info.st_uid) + ":" +
                           std::to_string(info.st_gid) + " links " + std::to_string(info.st_nlink) + " device " +
                           std::to_string(info.st_rdev);
        std::string bytes;
        if (S_ISLNK(info.st_mode)) rest += " -> " + fs::read_symlink(entry.path()).string();
        if (S_ISREG(info.st_mode)) bytes = readBytes(entry.path());
        if (S_ISREG(info.st_mode)) rest += attributesOf(entry.path());
        seen[fs::relative(entry.path(), folder).string()] = {info.st_ino, bytes, rest};
    }
    return seen;
}

std::map<std::string, std::string> shown(const Snapshot& snapshot) {
    std::map<std::string, std::string> text;
    for (const auto& [name, seen] : snapshot) text[name] = seen.rest + " [" + seen.bytes + "]";
    return text;
}

// The scene of one row: a folder of the test user's, and the users' identities.
struct Scene {
    test::TempFolder folder;
    const bool root = ::geteuid() == 0;
    // Without root, the user running the test is the test user.
    const test::Identity tester = root ? test::Identity{TesterId, TesterId, {TesterId, TeamId}}
                                       : test::Identity{::getuid(), ::getgid(), {}};

    Scene() { give(folder.path); }
    ~Scene() {  // folders made unwritable by a row become removable again
        for (const auto& entry : fs::recursive_directory_iterator(folder.path))
            if (entry.is_directory() && !entry.is_symlink()) ::chmod(entry.path().c_str(), 0755);
    }
    void give(const fs::path& path, uid_t owner, gid_t group) const {
        if (root) {
            EXPECT_EQ(::lchown(path.c_str(), owner, group), 0) << path;
        }
    }
    void give(const fs::path& path) const { give(path, tester.uid, tester.gid); }
    // A file of the test user's.
    fs::path file(const fs::path& name, std::string_view bytes, mode_t mode = 0644) const {
        const fs::path path = folder / name;
        writeBytes(path, bytes);
        EXPECT_EQ(::chmod(path.c_str(), mode), 0);
        give(path);
        return path;
    }
    fs::path subfolder(const fs::path& name) const {
        fs::create_directories(folder / name);
        give(folder / name);
        return folder / name;
    }
};

// A POSIX access ACL as the system stores it: user::rw-, user:<other>:r--, group::r--, mask::r--, other::---.
std::string accessControlList() {
    std::string acl;
    auto add = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) acl += static_cast<char>(value >> (8 * i) & 0xFF);
    };
    add(2, 4);  // version
    for (auto [tag, permissions, id] : {std::tuple{0x01u, 6u, ~0u}, {0x02u, 4u, unsigned{OtherId}}, {0x04u, 4u, ~0u},
                                        {0x10u, 4u, ~0u}, {0x20u, 0u, ~0u}}) {
        add(tag, 2);
        add(permissions, 2);
        add(id, 4);
    }
    return acl;
}

TEST(FileIo, NoFileIsHarmedWhateverItIs) {
    enum class Action { Read, Save, SaveKilledHalfWay, SaveBeyondTheSizeLimit };
    enum class Expect { ReadToItsEnd, Saved, Refused, Killed };
    struct Row {
        const char* what;
        bool needsRoot;  // to give files to another user, or to make a device
        bool asRoot;     // rather than as the test user
        Action action;
        Expect expect;
        std::function<fs::path(Scene&)> arrange;  // returns the path to read or save
    };
    const std::string newBytes = "new\r\ncontents\r\n";
    const std::string longOld(10000, 'o');
    const Row rows[] = {
        {"a FIFO is refused at once", false, false, Action::Read, Expect::Refused,
         [](Scene& s) { EXPECT_EQ(::mkfifo((s.folder / "fifo").c_str(), 0644), 0); return s.folder / "fifo"; }},
        {"a procfs file that claims size 0 is read to its end", false, false, Action::Read, Expect::ReadToItsEnd,
         [](Scene&) { return fs::path("/proc/version"); }},
        {"a FIFO is not replaced", false, false, Action::Save, Expect::Refused,
         [](Scene& s) {
             EXPECT_EQ(::mkfifo((s.folder / "fifo").c_str(), 0666), 0);
             s.give(s.folder / "fifo");
             return s.folder / "fifo";
         }},
        {"a device is not replaced", true, false, Action::Save, Expect::Refused,
         [](Scene& s) {
             EXPECT_EQ(::mknod((s.folder / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
             return s.folder / "null";
         }},
        {"a 250-byte name is saved", false, false, Action::Save, Expect::Saved,
         [](Scene& s) { return s.file(std::string(250, 'n'), "old"); }},
        {"link/.. is the parent of the link's target", false, false, Action::Save, Expect::Saved,
         [](Scene& s) {
             s.subfolder("deep/inner");
             s.give(s.folder / "deep");
             s.file("deep/t.txt", "old deep");
             s.file("t.txt", "old beside the link");
             fs::create_symlink("deep/inner", s.folder / "link");
             return s.folder / "link/../t.txt";
         }},
        {"a read-only file is refused", false, false, Action::Save, Expect::Refused,
         [](Scene& s) { return s.file("ro.txt", "old", 0444); }},
        {"a read-only file is refused to root", true, true, Action::Save, Expect::Refused,
         [](Scene& s) { return s.file("ro.txt", "old", 0444); }},
        {"a second hard link keeps sharing the new text", false, false, Action::Save, Expect::Saved,
         [&](Scene& s) {
             fs::create_hard_link(s.file("a.txt", longOld), s.folder / "b.txt");
             return s.folder / "a.txt";
         }},
        {"extended attributes and ACLs are kept", false, false, Action::Save, Expect::Saved,
         [](Scene& s) {
             const fs::path path = s.file("x.txt", "old", 0640);
             const std::string acl = accessControlList();
             EXPECT_EQ(::setxattr(path.c_str(), "user.origin", "web", 3, 0), 0);
             EXPECT_EQ(::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
             return path;
         }},
        {"an attribute only root may give is kept", true, false, Action::Save, Expect::Saved,
         [](Scene& s) {
             const fs::path path = s.file("x.txt", "old");
             EXPECT_EQ(::setxattr(path.c_str(), "security.norvane", "1", 1, 0), 0);
             return path;
         }},
        {"a group-shared file keeps its owner and group", true, false, Action::Save, Expect::Saved,
         [](Scene& s) {
             const fs::path path = s.file("shared.txt", "old", 0660);
             s.give(path, OtherId, TeamId);
             return path;
         }},
        {"a file in a folder without write permission is written in place", false, false, Action::Save,
         Expect::Saved,
         [&](Scene& s) {
             const fs::path path = s.file(s.subfolder("locked") / "in.txt", longOld);
             EXPECT_EQ(::chmod((s.folder / "locked").c_str(), 0555), 0);
             return path;
         }},
        {"a failed write in place puts the old bytes back", false, false, Action::SaveBeyondTheSizeLimit,
         Expect::Refused,
         [&](Scene& s) {
             fs::create_hard_link(s.file("a.txt", longOld), s.folder / "b.txt");
             return s.folder / "a.txt";
         }},
        {"a save killed half way leaves nothing behind", false, false, Action::SaveKilledHalfWay, Expect::Killed,
         [](Scene& s) { return s.file("t.txt", "old"); }},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Scene scene;
        if (row.needsRoot && !scene.root) {
            std::cout << "[ SKIPPED  ] not root: " << row.what << '\n';
            continue;
        }
        const fs::path path = row.arrange(scene);
        const Snapshot before = snapshot(scene.folder.path);
        struct stat target {};
        ::stat(path.c_str(), &target);

        const std::string report = test::runInChild(
            [&]() -> std::string {
                auto produce = [&](ByteSink& sink) {
                    if (row.action == Action::SaveKilledHalfWay) {
                        const std::string half(3 << 20, 'h');
                        sink.write(half.data(), half.size());
                        ::raise(SIGKILL);
                    }
                    if (row.action == Action::SaveBeyondTheSizeLimit) {
                        const std::string beyond(64 << 10, 'b');
                        sink.write(beyond.data(), beyond.size());
                    }
                    sink.write(newBytes.data(), newBytes.size());
                };
                if (row.action == Action::Read) {
                    const MappedFile file(path);
                    return "read:" + std::string(file.data(), file.size());
                }
                const std::optional<test::FileSizeLimit> limit =
                    row.action == Action::SaveBeyondTheSizeLimit ? std::optional<test::FileSizeLimit>(std::in_place, 32 << 10)
                                                                 : std::nullopt;
                writeFileAtomically(path, produce);
                return "saved";
            },
            scene.root && !row.asRoot ? std::optional(scene.tester) : std::nullopt, 10);

        Snapshot expected = before;
        switch (row.expect) {
        case Expect::ReadToItsEnd: {
            const std::string bytes = readBytes(path);
            EXPECT_FALSE(bytes.empty());
            EXPECT_EQ(report, "read:" + bytes);
            break;
        }
        case Expect::Saved:
            EXPECT_EQ(report, "saved");
            for (auto& [name, seen] : expected)
                if (seen.inode == target.st_ino) seen.bytes = newBytes;
            break;
        case Expect::Refused:
            EXPECT_TRUE(report.starts_with("FileError: ") && report.find(path.string()) != std::string::npos) << report;
            break;
        case Expect::Killed: EXPECT_EQ(report, "signal " + std::to_string(SIGKILL)); break;
        }
        EXPECT_EQ(shown(snapshot(scene.folder.path)), shown(expected));
    }
}

#endif

}  // namespace
}  // namespace norvane::platform
