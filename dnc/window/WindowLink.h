// The window's side of its sub net: events from the sub net's thread wait here until the
// window's thread takes them, and the plain send's prompt is asked on the window's thread while
// the sub net's thread waits. Once the window closes every prompt is answered at once, so the
// sub net can always finish.
#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include "dnc/manager/SubNetEvent.h"

namespace dnc::window {

class WindowLink : public SubNetOwner {
public:
    // `wake` is called on the sub net's thread after an event was queued: it must hand over to
    // the window's thread (a queued call). `prompt` runs on the window's thread.
    WindowLink(QObject* window, std::function<void()> wake,
               std::function<void(const std::string& caption, const std::string& text)> prompt);

    void deliver(const SubNetEvent& event) override;
    void confirm(int subNet, const std::string& caption, const std::string& text) override;

    // The events queued so far, in order; on the window's thread.
    std::deque<SubNetEvent> take();
    // Every open and later prompt is answered at once.
    void beginClosing();

private:
    QPointer<QObject> window_;
    std::function<void()> wake_;
    std::function<void(const std::string&, const std::string&)> prompt_;
    std::mutex mutex_;
    std::deque<SubNetEvent> events_;
    bool closing_ = false;
    std::shared_ptr<std::promise<void>> pendingPrompt_;
};

}  // namespace dnc::window
