#include "app/WindowNotifier.h"

#include <QCoreApplication>

QEvent::Type WindowNotifier::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

WindowNotifier& WindowNotifier::instance() {
    static WindowNotifier notifier;
    return notifier;
}

void WindowNotifier::attach(QObject* window) {
    std::lock_guard<std::mutex> g(mutex_);
    window_ = window;
}

void WindowNotifier::detach() {
    std::lock_guard<std::mutex> g(mutex_);
    window_ = nullptr;
}

void WindowNotifier::post_message(DWORD message) {
    std::lock_guard<std::mutex> g(mutex_);
    if (window_)
        QCoreApplication::postEvent(window_, new SimMessageEvent(message));
}
