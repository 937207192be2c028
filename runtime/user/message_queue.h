// The message queue of the thread that owns the windows: posted messages (bounded, FIFO),
// messages sent from other threads (answered through a shared slot) and the quit request.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/win32.h"

namespace vrel::user {

// A message sent from another thread: the owner's thread runs the window procedure and
// stores the result; the sender waits for it, or gives up and takes it back out of the queue
// (MessageQueue::Withdraw) so a stuck window does not pile up sends nobody waits for.
struct CrossThreadSend {
    MSG msg{};
    std::mutex mutex;
    std::condition_variable done;
    bool answered = false;
    LRESULT result = 0;

    void Answer(LRESULT value);
    // False when the timeout passed first (negative: wait for ever).
    bool WaitForAnswer(int timeoutMs, LRESULT* value);
};

class MessageQueue {
  public:
    // The platform's default limit of posted messages per queue.
    static constexpr size_t kMaxPosted = 10000;

    // Thread-safe; false when the queue is full.
    bool Post(const MSG& msg);
    // Thread-safe.
    void PostQuit(int exitCode);
    void PushSend(std::shared_ptr<CrossThreadSend> send);
    std::shared_ptr<CrossThreadSend> PopSend();
    // Takes a send whose sender gave up out of the queue; false when the window's thread
    // has taken it already (it runs, or ran).
    bool Withdraw(const std::shared_ptr<CrossThreadSend>& send);
    size_t PendingSends() const;

    // The first posted message inside the filter; removed when `remove`.
    std::optional<MSG> TakePosted(HWND window, UINT min, UINT max, bool remove);
    // WM_QUIT when a quit request is pending; cleared when `remove`.
    std::optional<MSG> TakeQuit(bool remove);
    bool HasPosted() const;
    bool HasWork() const;  // posted, sent or quit
    void DropMessagesFor(HWND window);
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::deque<MSG> posted_;
    std::deque<std::shared_ptr<CrossThreadSend>> sent_;
    bool quitPending_ = false;
    int quitCode_ = 0;
};

}  // namespace vrel::user
