// Module Lumora_B: the start of Veltrane.scr. Main reads the screen-saver command
// line, refuses a second start while a cover form or the configuration dialog is
// on screen, checks that the renderer lies beside the program, and hands over to
// the cover form, the preview or the configuration dialog. The module also keeps
// the zoom point of the dialog and the pointer count saved in saver mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "saver/runtime/vb_types.h"

namespace veltrane::Lumora_B {

inline constexpr const char* kCoverTitle = "Lumora_Main";
inline constexpr const char* kDialogTitle = "<Veltrane>";
inline constexpr const char* kRendererTitle = "Lumora_VC";
inline constexpr const char* kRendererFile = "/Veltrane.dll";
inline constexpr const char* kRendererMissing = "Veltrane.dll が同じﾌｫﾙﾀﾞに見つかりません！";

// The screen point (pixels) from which the dialog zooms open and to which it zooms shut.
extern std::int16_t ZoomX;
extern std::int16_t ZoomY;
// The display count ShowCursor returned when saver mode hid the pointer; empty before.
extern std::optional<std::int32_t> CursorCount;

void Main();

// True when `path` (without one trailing "/") names a file that can be opened for reading.
vb::Boolean FileExists(const std::string& path);

// The caption-zoom animation from the zoom point out to the window's rectangle, and
// back in. The result is always empty.
std::optional<int> ZoomOpen(unsigned long hwnd);
std::optional<int> ZoomClose(unsigned long hwnd);

// The preview start-up of Main: embeds the still picture in the host window
// named on the command line.
void PreviewStartup();

}  // namespace veltrane::Lumora_B
