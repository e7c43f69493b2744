// The shell's window-system look-ups on the runtime's own X connection: a
// top-level window by its exact title, and the pointer's display count.
#pragma once

#include <string>

namespace veltrane {

// Non-zero (the X window id) when a top-level window titled exactly `title` exists.
// Raises a run-time error when there is no X display.
unsigned long FindWindowByTitle(const std::string& title);

// Shows (true) or hides (false) the pointer one step; returns the new display count.
int ShowPointer(bool show);

}  // namespace veltrane
