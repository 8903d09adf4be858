#pragma once
// The window handle given to the simulator library. The library posts from its own threads and
// may do so after the window is gone, so the post goes through this relay, which lives for the
// whole process and forgets the window when the window is destroyed.

#include <QEvent>
#include <mutex>

#include "simlink/SimConnect.h"

class QObject;

class WindowNotifier final : public NotifyTarget {
public:
    // The event a posted message becomes on the window's thread; its message number travels in
    // a SimMessageEvent.
    static QEvent::Type eventType();

    static WindowNotifier& instance();
    void attach(QObject* window);
    void detach();
    void post_message(DWORD message) override;

private:
    std::mutex mutex_;  // guards window_
    QObject* window_ = nullptr;
};

class SimMessageEvent : public QEvent {
public:
    explicit SimMessageEvent(DWORD m) : QEvent(WindowNotifier::eventType()), message(m) {}
    const DWORD message;
};
