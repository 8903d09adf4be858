#pragma once
// Inside of the client layer (SimConnect.cpp), shared with its test hooks: the open session
// with its message queue, the hook settings and the call log.
//
// Locks: registry_mutex() guards the current session, its handle and the hook settings;
// log_mutex() guards the call log; each Session's mutex guards its queue. None is held while
// the window is notified, a dispatch callback runs, or a backend is called.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "simlink/EmbeddedSim.h"
#include "simlink/SimBackend.h"
#include "simlink/testing/SimTestHooks.h"

namespace simlink::client {

class Session final : public MessageSink {
public:
    Session(std::unique_ptr<SimBackend> backend, EmbeddedSim* embedded, HWND target,
            DWORD notify_message);

    // Queues a message and notifies the window unless a notification is already on its way.
    void deliver(std::vector<unsigned char> message) override;

    struct Message {
        std::vector<unsigned char> bytes;  // padded, so a reader of the header never overruns
        DWORD size;
    };
    // Takes every waiting message; a message queued after this is notified afresh.
    std::deque<Message> take();

    // Stops the backend and waits for notifications in flight; nothing is queued afterwards.
    void close();

    SimBackend& backend() { return *backend_; }
    EmbeddedSim* embedded() { return embedded_; }  // null for other simulators

private:
    std::unique_ptr<SimBackend> backend_;
    EmbeddedSim* const embedded_;
    const HWND target_;
    const DWORD notify_message_;

    std::mutex mutex_;  // guards the fields below
    std::condition_variable idle_;
    std::deque<Message> queue_;
    bool notified_ = false;  // a notification was posted and no dispatch has taken the queue
    int posting_ = 0;        // notifications being posted right now
    bool closed_ = false;
};

using FailRule = std::function<bool(const simlink::testing::Call&)>;

struct Registry {
    std::shared_ptr<Session> session;
    HANDLE handle = nullptr;
    uintptr_t generation = 0;
    bool refuse_open = false;
    bool stepped = false;
    std::shared_ptr<const FailRule> fail;

    // The session ends with the process: its frame thread is stopped here, before the statics
    // it delivers through are destroyed.
    ~Registry();
};

std::mutex& registry_mutex();
Registry& registry();  // registry_mutex() held

std::mutex& log_mutex();
std::vector<simlink::testing::Call>& call_log();  // log_mutex() held

std::shared_ptr<Session> current_session();

}  // namespace simlink::client
