// The shell's window-system look-ups on the runtime's own X connection: a
// top-level window by its exact title, the pointer's display count, the one-saver
// claim and the display mode a killed renderer left behind.
#pragma once

#include <string>

namespace veltrane {

// Non-zero (the X window id) when a top-level window titled exactly `title` exists.
// Raises a run-time error when there is no X display.
unsigned long FindWindowByTitle(const std::string& title);

// Shows (true) or hides (false) the pointer one step; returns the new display count.
int ShowPointer(bool show);

// Makes this process the one running saver or dialog on the display: ownership of
// an X selection, taken atomically, so that of two shells started at the same
// moment exactly one goes on. The server drops it when the process ends. False
// when another shell holds it. Raises a run-time error when there is no X display.
bool ClaimSaverInstance();

// Gives back a display mode that a killed renderer left switched (see
// platform/x11/display_mode.h); nothing when a live renderer still holds it.
void GiveBackAbandonedDisplayMode();

}  // namespace veltrane
