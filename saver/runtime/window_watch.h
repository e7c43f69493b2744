// Watching another program's X window for its end: the embedded preview has to
// go when the window that hosts it is destroyed.
#pragma once

#include <functional>

namespace veltrane::vb {

// Calls `gone` once, from the event loop, when X window `window` is destroyed
// (at once if it no longer exists). Returns false when the window cannot be watched.
bool WatchWindowGone(unsigned long window, std::function<void()> gone);

}  // namespace veltrane::vb
