// GNOME Shell's Activities overview (GNOME opens it at log-in) shows windows as
// thumbnails below its own panel and keeps the keyboard, and no Wayland or X11
// request of a window closes it: a full-screen window mapped while it shows
// stays a thumbnail until the user leaves it. The shell's own bus property
// OverviewActive closes it for any caller.
#pragma once

#include <chrono>

namespace veltrane::platform {

// When GNOME Shell runs on the session bus and shows its overview, closes it and
// waits until it is gone, at most `limit`. True when it showed and is gone.
bool LeaveGnomeOverview(std::chrono::milliseconds limit = std::chrono::seconds(2));

}  // namespace veltrane::platform
