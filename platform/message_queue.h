// The queue of a process's window messages, shared by every backend: messages
// are taken oldest first for one window or any, and die with their window.
#pragma once

#include <algorithm>
#include <deque>

#include "platform/window_system.h"

namespace veltrane::platform {

class MessageQueue {
public:
    void Post(const Message& message) { queue_.push_back(message); }
    // Takes the oldest message for `filter` (0: any window); false when there is none.
    bool Take(Message& message, WindowHandle filter) {
        auto it = std::find_if(queue_.begin(), queue_.end(),
                               [filter](const Message& m) { return filter == 0 || m.hwnd == filter; });
        if (it == queue_.end()) return false;
        message = *it;
        queue_.erase(it);
        return true;
    }
    // What was posted to a destroyed window is never delivered.
    void Drop(WindowHandle hWnd) {
        std::erase_if(queue_, [hWnd](const Message& m) { return m.hwnd == hWnd; });
    }
    bool empty() const { return queue_.empty(); }

private:
    std::deque<Message> queue_;
};

}  // namespace veltrane::platform
