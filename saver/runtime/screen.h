// The screen as the forms see it: its size in twips, the twips in one pixel, and
// the screen-wide mouse pointer that overrides every control's own pointer.
#pragma once

namespace veltrane::vb {

struct Screen {
  static double Width();   // twips
  static double Height();  // twips
  static double TwipsPerPixelX();
  static double TwipsPerPixelY();
  // 0 (default): each control's own pointer; 11: the hourglass everywhere.
  static int MousePointer();
  static void SetMousePointer(int pointer);
};

}  // namespace veltrane::vb
