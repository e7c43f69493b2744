// The screen's RandR configuration as tests compare it before and after a run,
// and real modes for Xvfb, so a renderer's switch (and a user's) is a real one.
#pragma once

#include <chrono>
#include <utility>
#include <vector>

// gtest before Xlib, as everywhere in the tests.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace veltrane::testing {

struct ScreenState {
  int width = 0, height = 0, mmWidth = 0, mmHeight = 0;
  RRMode mode = 0;
  int x = 0, y = 0;
  Rotation rotation = 0;
  std::vector<RROutput> outputs;
  bool operator==(const ScreenState&) const = default;
};

ScreenState ReadScreenState(::Display* d);

// Waits until the screen is in `state` (a program gives it back as it ends); false
// after `timeout`.
bool WaitForScreenState(::Display* d, const ScreenState& state,
                        std::chrono::milliseconds timeout = std::chrono::seconds(3));

// Xvfb offers only its start size; modes added on the test's own connection to
// the first output live as long as that connection. The ids in `sizes`' order.
std::vector<RRMode> AddRealModes(::Display* d, const std::vector<std::pair<int, int>>& sizes);
bool AddRealMode1024x768(::Display* d);

}  // namespace veltrane::testing
