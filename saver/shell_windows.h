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

// Keeps this process off the D-Bus session bus from here on: Qt's accessibility
// bridge connects to it synchronously at a process's first window showing, and
// where no bus runs it has one started. Programs started by path still get the
// bus of the environment the shell was started with.
void StayOffSessionBus();

}  // namespace veltrane
