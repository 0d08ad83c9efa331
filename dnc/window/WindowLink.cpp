#include "dnc/window/WindowLink.h"

#include <QMetaObject>

namespace dnc::window {

WindowLink::WindowLink(QObject* window, std::function<void()> wake,
                       std::function<void(const std::string&, const std::string&)> prompt)
    : window_(window), wake_(std::move(wake)), prompt_(std::move(prompt)) {}

void WindowLink::deliver(const SubNetEvent& event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    wake_();
}

std::deque<SubNetEvent> WindowLink::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<SubNetEvent> taken;
    taken.swap(events_);
    return taken;
}

void WindowLink::confirm(int, const std::string& caption, const std::string& text) {
    auto answered = std::make_shared<std::promise<void>>();
    auto done = answered->get_future();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_) {
            return;
        }
        pendingPrompt_ = answered;
    }
    QMetaObject::invokeMethod(
        window_.data(),
        [this, answered, caption, text] {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (closing_ || pendingPrompt_ != answered) {
                    return;
                }
            }
            prompt_(caption, text);
            std::lock_guard<std::mutex> lock(mutex_);
            if (pendingPrompt_ == answered) {
                pendingPrompt_.reset();
                answered->set_value();
            }
        },
        Qt::QueuedConnection);
    done.wait();
}

void WindowLink::beginClosing() {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    if (pendingPrompt_) {
        pendingPrompt_->set_value();
        pendingPrompt_.reset();
    }
}

}  // namespace dnc::window
