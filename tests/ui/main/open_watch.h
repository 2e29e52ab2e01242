#pragma once

// Watches for anything opening the entries of a folder or a FIFO, so that a test can check
// that a listing looked at names only.

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace norvane::ui::testing {

// Records every open of a folder's entries and of the folder itself, by any thread of
// this process or another.
class FolderOpenWatch {
public:
    explicit FolderOpenWatch(const QString& folder)
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          watch_(::inotify_add_watch(fd_, folder.toLocal8Bit().constData(), IN_OPEN)) {}
    ~FolderOpenWatch() { ::close(fd_); }
    FolderOpenWatch(const FolderOpenWatch&) = delete;
    FolderOpenWatch& operator=(const FolderOpenWatch&) = delete;

    bool isWatching() const { return watch_ >= 0; }

    // The names opened since the last call, in order; "." for the folder itself (a listing).
    QStringList opened() {
        QStringList names;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t size; (size = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_OPEN)
                    names << (event->len > 0 ? QString::fromLocal8Bit(event->name) : QStringLiteral("."));
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return names;
    }

private:
    int fd_;
    int watch_;
};

// Finds out whether anything opens a FIFO for reading, and never lets such a reader hang
// the test for good: when the time is up, it opens the FIFO's writing end without waiting.
// That open succeeds only while a reader has the FIFO open, and it frees a reader stuck in
// open() waiting for a writer (the reader then reads the end of the data at once).
class FifoReaderWatchdog {
public:
    FifoReaderWatchdog(std::string fifo, std::chrono::seconds limit)
        : fifo_(std::move(fifo)), thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!stopping_.wait_for(lock, limit, [this] { return stopped_; })) readerFound_ |= writerOpens();
          }) {}
    ~FifoReaderWatchdog() { stop(); }
    FifoReaderWatchdog(const FifoReaderWatchdog&) = delete;
    FifoReaderWatchdog& operator=(const FifoReaderWatchdog&) = delete;

    // Ends the watch; true when a reader had the FIFO open at the limit or has it open now.
    bool stop() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        stopping_.notify_one();
        if (thread_.joinable()) thread_.join();
        readerFound_ |= writerOpens();
        return readerFound_;
    }

private:
    bool writerOpens() const {
        const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }

    const std::string fifo_;
    std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    bool readerFound_ = false;
    std::thread thread_;
};

}  // namespace norvane::ui::testing
