#include "runtime/user/message_queue.h"

#include <algorithm>
#include <chrono>

namespace vrel::user {

void CrossThreadSend::Answer(LRESULT value) {
    {
        std::lock_guard lock(mutex);
        result = value;
        answered = true;
    }
    done.notify_all();
}

bool CrossThreadSend::WaitForAnswer(int timeoutMs, LRESULT* value) {
    std::unique_lock lock(mutex);
    auto isAnswered = [this] { return answered; };
    if (timeoutMs < 0) {
        done.wait(lock, isAnswered);
    } else if (!done.wait_for(lock, std::chrono::milliseconds(timeoutMs), isAnswered)) {
        return false;
    }
    *value = result;
    return true;
}

bool MessageQueue::Post(const MSG& msg) {
    std::lock_guard lock(mutex_);
    if (posted_.size() >= kMaxPosted) {
        return false;
    }
    posted_.push_back(msg);
    return true;
}

void MessageQueue::PostQuit(int exitCode) {
    std::lock_guard lock(mutex_);
    quitPending_ = true;  // repeated requests merge; the latest code wins
    quitCode_ = exitCode;
}

void MessageQueue::PushSend(std::shared_ptr<CrossThreadSend> send) {
    std::lock_guard lock(mutex_);
    sent_.push_back(std::move(send));
}

std::shared_ptr<CrossThreadSend> MessageQueue::PopSend() {
    std::lock_guard lock(mutex_);
    if (sent_.empty()) {
        return nullptr;
    }
    auto send = std::move(sent_.front());
    sent_.pop_front();
    return send;
}

bool MessageQueue::Withdraw(const std::shared_ptr<CrossThreadSend>& send) {
    std::lock_guard lock(mutex_);
    return std::erase(sent_, send) > 0;
}

size_t MessageQueue::PendingSends() const {
    std::lock_guard lock(mutex_);
    return sent_.size();
}

namespace {

bool InFilter(const MSG& m, HWND window, UINT min, UINT max) {
    if (window != nullptr && m.hwnd != window) {
        return false;
    }
    return (min == 0 && max == 0) || (m.message >= min && m.message <= max);
}

}  // namespace

std::optional<MSG> MessageQueue::TakePosted(HWND window, UINT min, UINT max, bool remove) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(posted_.begin(), posted_.end(),
                           [&](const MSG& m) { return InFilter(m, window, min, max); });
    if (it == posted_.end()) {
        return std::nullopt;
    }
    MSG found = *it;
    if (remove) {
        posted_.erase(it);
    }
    return found;
}

std::optional<MSG> MessageQueue::TakeQuit(bool remove) {
    std::lock_guard lock(mutex_);
    if (!quitPending_) {
        return std::nullopt;
    }
    MSG quit{};
    quit.message = WM_QUIT;
    quit.wParam = static_cast<WPARAM>(quitCode_);
    if (remove) {
        quitPending_ = false;
    }
    return quit;
}

bool MessageQueue::HasPosted() const {
    std::lock_guard lock(mutex_);
    return !posted_.empty();
}

bool MessageQueue::HasWork() const {
    std::lock_guard lock(mutex_);
    return !posted_.empty() || !sent_.empty() || quitPending_;
}

void MessageQueue::DropMessagesFor(HWND window) {
    std::lock_guard lock(mutex_);
    std::erase_if(posted_, [window](const MSG& m) { return m.hwnd == window; });
}

void MessageQueue::Clear() {
    std::lock_guard lock(mutex_);
    posted_.clear();
    for (auto& send : sent_) {
        send->Answer(0);
    }
    sent_.clear();
    quitPending_ = false;
    quitCode_ = 0;
}

}  // namespace vrel::user
