// Twips (1/1440 inch): the shell lays out forms and controls in them. One pixel is
// 1440 / DPI twips, 15 at 96 DPI, taken from the logical DPI that Qt reports.
#pragma once

namespace veltrane::vb {

double TwipsPerPixelX();
double TwipsPerPixelY();

inline double PixelsFromTwipsX(double twips) { return twips / TwipsPerPixelX(); }
inline double PixelsFromTwipsY(double twips) { return twips / TwipsPerPixelY(); }
inline double TwipsFromPixelsX(double pixels) { return pixels * TwipsPerPixelX(); }
inline double TwipsFromPixelsY(double pixels) { return pixels * TwipsPerPixelY(); }

}  // namespace veltrane::vb
