#pragma once
// A record list that the window thread replaces while the receive thread and the workers read
// it. A reader takes a snapshot and keeps indexing that, so it never sees a list half emptied
// or half filled; the loader publishes the emptied list first and the filled one at the end.

#include <memory>
#include <mutex>
#include <vector>

template <typename Record>
class SharedList {
public:
    using Records = std::vector<std::shared_ptr<Record>>;
    using Snapshot = std::shared_ptr<const Records>;

    SharedList() : current_(std::make_shared<const Records>()) {}

    Snapshot snapshot() const {
        std::lock_guard<std::mutex> g(mutex_);
        return current_;
    }

    void publish(Records records) {
        auto next = std::make_shared<const Records>(std::move(records));
        std::lock_guard<std::mutex> g(mutex_);
        current_.swap(next);
        // the old list is released outside the lock, when `next` goes out of scope
    }

    void clear() { publish({}); }

    size_t size() const { return snapshot()->size(); }

    // The record at position i, or nullptr when i lies beyond the list.
    std::shared_ptr<Record> at(size_t i) const {
        auto s = snapshot();
        return i < s->size() ? (*s)[i] : nullptr;
    }

private:
    mutable std::mutex mutex_;  // guards current_ (the pointer, not the records)
    Snapshot current_;
};
