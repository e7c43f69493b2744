// The caption-zoom animation: an outline rectangle that moves from one screen
// rectangle to another. X has no such service, so the shell draws it itself in a
// window of its own above everything; the call returns when the animation is over
// (about 0.2 seconds).
#pragma once

#include "saver/runtime/window_system.h"

namespace veltrane::vb {

inline constexpr int kIdAniCaption = 3;
inline constexpr int kZoomMilliseconds = 180;

// `window` is the window the animation belongs to (unused beyond that on X).
// Returns false when no animation could be shown.
bool DrawAnimatedRects(unsigned long window, int animation, const Rect& from, const Rect& to);

// The rectangle of frame `step` of `steps` (0 gives `from`, steps gives `to`).
Rect InterpolateRect(const Rect& from, const Rect& to, int step, int steps);

}  // namespace veltrane::vb
