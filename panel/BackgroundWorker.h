#pragma once
// A worker that runs one job at a time on a thread of its own and reports whether it is busy.
// There is no queue: the caller tests IsBusy() and drops the job when it is.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class BackgroundWorker {
public:
    BackgroundWorker();
    ~BackgroundWorker();  // waits for a running job, then ends the thread
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    // True from RunWorkerAsync until the job has returned (normally or by an exception).
    bool IsBusy() const;
    // Starts job on the worker's thread; returns false (and drops the job) when busy.
    bool RunWorkerAsync(std::function<void()> job);

private:
    void run();

    mutable std::mutex mutex_;  // guards job_, busy_ and quit_
    std::condition_variable wake_;
    std::function<void()> job_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
};
