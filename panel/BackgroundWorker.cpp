#include "panel/BackgroundWorker.h"

BackgroundWorker::BackgroundWorker() : thread_([this] { run(); }) {}

BackgroundWorker::~BackgroundWorker() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool BackgroundWorker::IsBusy() const {
    std::lock_guard<std::mutex> g(mutex_);
    return busy_;
}

bool BackgroundWorker::RunWorkerAsync(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (busy_ || quit_)
            return false;
        busy_ = true;
        job_ = std::move(job);
    }
    wake_.notify_all();
    return true;
}

void BackgroundWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || job_; });
        if (!job_)
            return;  // quit with nothing to do
        auto job = std::move(job_);
        job_ = nullptr;
        lock.unlock();
        try {
            job();
        } catch (...) {
            // a failing job ends silently and leaves the worker idle
        }
        job = nullptr;  // the request is released before the worker counts as idle
        lock.lock();
        busy_ = false;
    }
}
