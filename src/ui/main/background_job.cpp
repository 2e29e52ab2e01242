#include "ui/main/background_job.h"

#include <utility>

namespace norvane::ui {

BackgroundJob::BackgroundJob(Work work, std::function<void(int)> progress, std::function<void(std::exception_ptr)> done)
    : progress_(std::move(progress)), done_(std::move(done)) {
    thread_ = std::thread([this, work = std::move(work)] { run(work); });
}

BackgroundJob::~BackgroundJob() {
    cancelled_ = true;
    thread_.join();
    // Calls still queued for this object are dropped with it.
}

void BackgroundJob::run(const Work& work) {
    const ProgressReporter reporter = [this](int percent) {
        if (cancelled_) throw Cancelled{};
        if (lastPercent_.exchange(percent) == percent) return;
        QMetaObject::invokeMethod(this, [this, percent] { progress_(percent); }, Qt::QueuedConnection);
    };
    std::exception_ptr failure;
    try {
        work(reporter);
    } catch (const Cancelled&) {
        return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (cancelled_) return;
    // The exception goes to the UI thread whole: this thread keeps no reference to it, so
    // that it is freed where it is read.
    QMetaObject::invokeMethod(this, [this, failure = std::move(failure)] { done_(failure); }, Qt::QueuedConnection);
}

}  // namespace norvane::ui
