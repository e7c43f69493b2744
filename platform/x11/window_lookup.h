// Finding a top-level window by its exact title, the way the saver shell and the
// duplicate-start check look for "Lumora_VC", "Lumora_Main" and "<Veltrane>".
#pragma once

#include <string>

#include <X11/Xlib.h>

namespace veltrane::platform {

// The first top-level client window (a child of the root, or the client inside a
// window manager's frame) whose _NET_WM_NAME or WM_NAME equals `title` exactly; 0
// when there is none. Windows that vanish during the search are skipped.
::Window FindTopLevelWindow(::Display* display, const std::string& title);

}  // namespace veltrane::platform
