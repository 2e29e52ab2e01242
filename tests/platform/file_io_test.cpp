#include "platform/file_io.h"
#include "platform/mapped_file.h"
#ifndef _WIN32
#include "platform/posix/regular_file.h"
#endif

#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <optional>
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

#ifndef _WIN32
// Saves of many files share their flushes: until its batch finishes, no prepared save is
// put in place, whatever the save is (a new file, a replaced one), even when the program
// is killed while the flushes run; one written in place (a second hard link keeps its
// file) is whole when prepared. In the batch, one failure leaves the other saves whole.
// Windows saves each file whole when it is prepared.
TEST(FileIo, PreparedSavesChangeNothingUntilTheirBatchFinishes) {
    enum class End { Dropped, KilledBeforeFinishing, Finished };
    const std::vector<std::string> names = {"new.txt", "replaced.txt", "linked.txt", "made meanwhile.txt"};
    for (const End end : {End::Dropped, End::KilledBeforeFinishing, End::Finished}) {
        SCOPED_TRACE(static_cast<int>(end));
        test::TempFolder folder;
        test::writeBytes(folder / "replaced.txt", "old");
        test::writeBytes(folder / "linked.txt", "old");
        fs::create_hard_link(folder / "linked.txt", folder / "second.txt");
        auto prepareAll = [&] {
            std::vector<PreparedSave> saves;
            for (const std::string& name : names)
                saves.push_back(prepareSave(
                    folder / name, [&](ByteSink& sink) { sink.write(name.data(), name.size()); }, {}, false));
            return saves;
        };
        if (end == End::KilledBeforeFinishing) {
            EXPECT_EQ(test::runInChild([&]() -> std::string {
                          SaveBatch batch;
                          for (PreparedSave& save : prepareAll()) batch.add(std::move(save));
                          ::raise(SIGKILL);
                          return "not killed";
                      }),
                      "signal " + std::to_string(SIGKILL));
        } else {
            std::vector<PreparedSave> saves = prepareAll();
            // Another program makes a file of the name a save was to make.
            test::writeBytes(folder / "made meanwhile.txt", "theirs");
            SaveBatch batch;
            if (end == End::Finished)
                for (PreparedSave& save : saves) batch.add(std::move(save));
            // Nothing is put in place while the flushes run.
            EXPECT_EQ(test::readBytes(folder / "replaced.txt"), "old");
            EXPECT_FALSE(fs::exists(folder / "new.txt"));
            const std::vector<std::exception_ptr> failures = batch.finish();
            saves.clear();
            if (end == End::Finished) {
                ASSERT_EQ(failures.size(), names.size());
                for (std::size_t i = 0; i + 1 < names.size(); ++i) EXPECT_FALSE(failures[i]) << names[i];
                test::expectFileError([&] { std::rethrow_exception(failures.back()); }, folder / "made meanwhile.txt");
            }
            EXPECT_EQ(test::readBytes(folder / "made meanwhile.txt"), "theirs");
            fs::remove(folder / "made meanwhile.txt");
        }
        EXPECT_EQ(test::readBytes(folder / "replaced.txt"), end == End::Finished ? "replaced.txt" : "old");
        EXPECT_EQ(fs::exists(folder / "new.txt"), end == End::Finished);
        // Written in place when prepared.
        EXPECT_EQ(test::readBytes(folder / "second.txt"), "linked.txt");
        EXPECT_EQ(folder.names().size(), end == End::Finished ? 4u : 3u);
    }
}
#endif

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
        {"a 250-byte name with a second hard link is written in place", false, false, Action::Save, Expect::Saved,
         [&](Scene& s) {
             fs::create_hard_link(s.file(std::string(250, 'h'), longOld), s.folder / "b.txt");
             return s.folder / std::string(250, 'h');
         }},
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
        // Backups of saves in place go here where the file's folder can't hold them.
        test::TempFolder state;
        scene.give(state.path);
        struct stat target {};
        ::stat(path.c_str(), &target);

        const std::string report = test::runInChild(
            [&]() -> std::string {
                ::setenv("XDG_STATE_HOME", state.path.c_str(), 1);
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
        if (fs::exists(state / "norvane")) {
            EXPECT_TRUE(fs::is_empty(state / "norvane")) << "a backup is left";
        }
    }
}


const char* pointOf(SaveStep step) {
    switch (step) {
    case SaveStep::WaitingForLock: return "waiting";
    case SaveStep::Locked: return "locked";
    case SaveStep::BackedUp: return "backed up";
    case SaveStep::Detached: return "detached";
    case SaveStep::Written: return "written";
    }
    return "?";
}

// Saves `newText` over the file at `path` as it was read, as Save File does, pausing at
// every point of the save; the text is produced while the file stays mapped, as a
// document's is. Reports "saved" or the error.
std::string saveAsRead(const fs::path& path, const std::string& newText, const test::SteppedChild::Pause& pause,
                       std::chrono::milliseconds lockWait = std::chrono::milliseconds(5000)) {
    const MappedFile file(path);
    pause("read");
    SaveOptions options;
    options.over = &file.origin();
    options.beforeOverwriting = [&] { file.detach(); };
    options.reached = [&](SaveStep step) { pause(pointOf(step)); };
    options.lockWait = lockWait;
    writeFileAtomically(
        path,
        [&](ByteSink& sink) {
            const std::size_t half = newText.size() / 2;
            sink.write(newText.data(), half);
            pause("half written");
            sink.write(newText.data() + half, newText.size() - half);
        },
        options);
    return "saved";
}

// Another program acts while a file is open and while it is saved over, at each point of
// the save. What it does is seen and its bytes stay, or the save goes on as it should; no
// signal ever ends the saver; a kill at any point leaves the old file, the new one, or a
// complete backup of the old one that the next open names.
TEST(FileIo, AnotherProgramAtEachPointOfASave) {
    enum class Other { Cut, Append, OverwriteKeepingTheTime, RenameOver, SymlinkSwap, SecondSaver, BusySecondSaver, Kill };
    enum class Expect { Refused, OldNewOrBackup, FirstSavesSecondRefused };
    struct Row {
        const char* point;
        bool inPlace;  // a second hard link makes the save write over the file
        Other other;
        Expect expect;
    };
    const Row rows[] = {
        {"read", false, Other::Cut, Expect::Refused},
        {"read", true, Other::Cut, Expect::Refused},
        {"read", true, Other::Append, Expect::Refused},
        {"read", false, Other::OverwriteKeepingTheTime, Expect::Refused},
        {"read", true, Other::OverwriteKeepingTheTime, Expect::Refused},
        {"read", false, Other::RenameOver, Expect::Refused},
        {"read", false, Other::SymlinkSwap, Expect::Refused},
        {"read", true, Other::SymlinkSwap, Expect::Refused},
        {"locked", true, Other::Cut, Expect::Refused},
        {"backed up", true, Other::Cut, Expect::Refused},
        {"detached", true, Other::Append, Expect::Refused},
        {"locked", false, Other::SecondSaver, Expect::FirstSavesSecondRefused},
        {"locked", true, Other::SecondSaver, Expect::FirstSavesSecondRefused},
        {"locked", true, Other::BusySecondSaver, Expect::FirstSavesSecondRefused},
        {"locked", true, Other::Kill, Expect::OldNewOrBackup},
        {"backed up", true, Other::Kill, Expect::OldNewOrBackup},
        {"detached", true, Other::Kill, Expect::OldNewOrBackup},
        {"half written", true, Other::Kill, Expect::OldNewOrBackup},
        {"written", true, Other::Kill, Expect::OldNewOrBackup},
        {"half written", false, Other::Kill, Expect::OldNewOrBackup},
        {"written", false, Other::Kill, Expect::OldNewOrBackup},
    };
    // Large enough that half the new text reaches the disk before the rest is written.
    const std::string oldText = std::string(10 << 20, 'o') + "\n", newText = std::string(10 << 20, 'n') + "\n";
    const std::string otherText = "the other program's text\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.point) + (row.inPlace ? ", in place, other " : ", renamed, other ") +
                     std::to_string(static_cast<int>(row.other)));
        test::TempFolder folder, elsewhere;
        const fs::path path = folder / "t.txt", victim = elsewhere / "victim.txt";
        test::writeBytes(path, oldText);
        test::writeBytes(victim, "not to be written");
        if (row.inPlace) fs::create_hard_link(path, folder / "link.txt");

        test::SteppedChild saver([&](const test::SteppedChild::Pause& pause) { return saveAsRead(path, newText, pause); });
        ASSERT_TRUE(saver.runTo(row.point)) << saver.finish();
        std::optional<test::SteppedChild> second;
        std::string secondReport;
        switch (row.other) {
        case Other::Cut: fs::resize_file(path, 1000); break;
        case Other::Append: std::ofstream(path, std::ios::binary | std::ios::app) << otherText; break;
        case Other::OverwriteKeepingTheTime: {
            struct stat before {};
            ASSERT_EQ(::stat(path.c_str(), &before), 0);
            std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << otherText;
            const timespec times[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
            break;
        }
        case Other::RenameOver:
            test::writeBytes(folder / "editor.tmp", otherText);
            fs::rename(folder / "editor.tmp", path);
            break;
        case Other::SymlinkSwap:
            fs::rename(path, folder / "moved.txt");
            fs::create_symlink(victim, path);
            break;
        case Other::SecondSaver:
        case Other::BusySecondSaver: {
            const auto wait = std::chrono::milliseconds(row.other == Other::BusySecondSaver ? 1 : 60000);
            second.emplace([&](const test::SteppedChild::Pause& pause) {
                return saveAsRead(path, otherText, pause, wait);
            });
            if (row.other == Other::SecondSaver) {
                ASSERT_TRUE(second->runTo("waiting")) << second->finish();
            } else {
                secondReport = second->finish();  // gives up while the first holds the lock
            }
            break;
        }
        case Other::Kill: saver.kill(); break;
        }
        const std::string theirs = test::readBytes(path);
        const std::string report = saver.finish();
        if (second && secondReport.empty()) secondReport = second->finish();

        const std::string onDisk = test::readBytes(path);
        const std::set<std::string> expectedNames = [&] {
            std::set<std::string> names{"t.txt"};
            if (row.inPlace) names.insert("link.txt");
            if (row.other == Other::SymlinkSwap) names.insert("moved.txt");
            return names;
        }();
        switch (row.expect) {
        case Expect::Refused:
            EXPECT_TRUE(report.starts_with("FileError: ") && report.find(path.string()) != std::string::npos) << report;
            EXPECT_TRUE(onDisk == theirs) << "the other program's bytes are not kept";
            EXPECT_EQ(folder.names(), expectedNames);
            break;
        case Expect::FirstSavesSecondRefused:
            EXPECT_EQ(report, "saved");
            EXPECT_TRUE(onDisk == newText);
            EXPECT_TRUE(secondReport.starts_with("FileError: ")) << secondReport;
            if (row.other == Other::BusySecondSaver)
                EXPECT_NE(secondReport.find("another program is saving this file"), std::string::npos) << secondReport;
            else
                EXPECT_NE(secondReport.find("since it was read"), std::string::npos) << secondReport;
            EXPECT_EQ(folder.names(), expectedNames);
            break;
        case Expect::OldNewOrBackup: {
            EXPECT_EQ(report, "signal " + std::to_string(SIGKILL));
            const fs::path backup = folder / "t.txt.norvane-backup";
            const bool backedUp = fs::exists(backup);
            EXPECT_TRUE(onDisk == oldText || onDisk == newText || (backedUp && test::readBytes(backup) == oldText))
                << "the old text is lost";
            const MappedFile reopened(path);
            EXPECT_EQ(reopened.origin().leftoverBackup(), backedUp ? std::optional(backup) : std::nullopt);
            std::set<std::string> names = expectedNames;
            if (backedUp) names.insert("t.txt.norvane-backup");
            EXPECT_EQ(folder.names(), names);
            break;
        }
        }
        EXPECT_EQ(test::readBytes(victim), "not to be written");
    }
}

// Once detached, a file's bytes are the reader's own: another program cutting the file
// short, emptying it or writing over it changes nothing they read.
TEST(FileIo, DetachedBytesStayWhateverBecomesOfTheFile) {
    const struct {
        const char* what;
        std::function<void(const fs::path&)> change;
    } rows[] = {
        {"cut short", [](const fs::path& path) { fs::resize_file(path, 100); }},
        {"emptied", [](const fs::path& path) { fs::resize_file(path, 0); }},
        {"written over", [](const fs::path& path) { test::writeBytes(path, std::string(3 << 20, 'z')); }},
    };
    std::mt19937 random(3);
    const std::string text = test::randomBytes(random, (3 << 20) + 123);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        test::TempFolder folder;
        test::writeBytes(folder / "f", text);
        const MappedFile file(folder / "f");
        file.detach();
        row.change(folder / "f");
        EXPECT_TRUE(std::string_view(file.data(), file.size()) == text);
        EXPECT_FALSE(file.changed());
    }
}

// A save finds what saves before it left: a backup of an interrupted save in place stops
// it, so the only copy of the old bytes is never replaced; a temporary that a killed save
// left goes, while one that a running save holds stays.
TEST(FileIo, LeftoversOfInterruptedSaves) {
    test::TempFolder folder;
    const fs::path path = folder / "t.txt";
    test::writeBytes(path, "half new, half old");
    fs::create_hard_link(path, folder / "link.txt");
    test::writeBytes(folder / "t.txt.norvane-backup", "old");
    const MappedFile file(path);
    EXPECT_EQ(file.origin().leftoverBackup(), std::optional(folder / "t.txt.norvane-backup"));
    test::expectFileError([&] { writeFile(path, "new"); }, folder / "t.txt.norvane-backup");
    EXPECT_EQ(test::readBytes(path), "half new, half old");
    EXPECT_EQ(test::readBytes(folder / "t.txt.norvane-backup"), "old");
    fs::remove(folder / "t.txt.norvane-backup");
    writeFile(path, "new");
    EXPECT_EQ(test::readBytes(folder / "link.txt"), "new");

    const std::string killed = ".norvane-abcdefghijkl", running = ".norvane-0123456789ab", fresh = ".norvane-zzzzzzzzzzzz";
    for (const std::string& name : {killed, running, fresh, std::string(".norvane-short")}) test::writeBytes(folder / name, "x");
    const timespec longAgo[2] = {{1, 0}, {1, 0}};
    for (const std::string& name : {killed, running, std::string(".norvane-short")})
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder / name).c_str(), longAgo, 0), 0);
    test::SteppedChild holder([&](const test::SteppedChild::Pause& pause) {
        const posix::FileDescriptor held(::open((folder / running).c_str(), O_RDONLY));
        if (::flock(held.get(), LOCK_EX) != 0) return std::string("not locked");
        pause("holding");
        return std::string("done");
    });
    ASSERT_TRUE(holder.runTo("holding"));
    {
        const posix::FileDescriptor opened(::open(folder.path.c_str(), O_PATH | O_DIRECTORY));
        posix::removeLeftoverTemporaries(opened.get());
    }
    EXPECT_EQ(holder.finish(), "done");
    EXPECT_EQ(folder.names(), (std::set<std::string>{"t.txt", "link.txt", running, fresh, ".norvane-short"}));
}
#endif

}  // namespace
}  // namespace norvane::platform
