#pragma once

#include "engine/progress.h"

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

namespace norvane::ui {

// Runs one piece of work (a load or a save) on a thread of its own, so that the window keeps
// painting and answering the window system meanwhile. What the work reports comes back to
// the UI thread as queued calls: `progress` with each new percentage, and `done` once, with
// the exception the work ended in (null when it succeeded).
//
// Destroying the job cancels it: the progress reporter the work was given throws from then
// on, the thread is waited for, and nothing more is called back. A job that has called
// `done` is best destroyed with deleteLater(), from outside its own call.
class BackgroundJob : public QObject {
    Q_OBJECT

public:
    using Work = std::function<void(const ProgressReporter& progress)>;

    BackgroundJob(Work work, std::function<void(int percent)> progress, std::function<void(std::exception_ptr)> done);
    ~BackgroundJob() override;

private:
    struct Cancelled {};

    void run(const Work& work);

    std::function<void(int)> progress_;
    std::function<void(std::exception_ptr)> done_;
    std::atomic<bool> cancelled_{false};
    std::atomic<int> lastPercent_{-1};
    std::thread thread_;
};

}  // namespace norvane::ui
