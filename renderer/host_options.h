// The renderer's command line. Without arguments it runs its own full-screen
// window. Saver hosts (XScreenSaver, mate-/xfce4-screensaver, XSecureLock) start
// it the way they start XScreenSaver's hacks, with the hacks' shared options:
//
//   -window-id ID     draw in the window ID (decimal, or hex with 0x)
//   -root             draw in $XSCREENSAVER_WINDOW when it is set, else in the root window
//   -window           the program's own full-screen window (the default)
//   -display NAME     the X display to use instead of $DISPLAY
//   -install, -visual V, -fps, -no-fps
//                     accepted and without effect: the renderer always gives a
//                     window it makes its own colormap, picks its GL visual
//                     itself and draws no frame-rate overlay
//   -help             prints the options and ends
//
// Each option may be written with one dash or two. -window-id wins over -root
// and -window; between those two the last one counts. Anything else (an unknown
// option, a missing value, an id that is not a number) is an error.
//
// Plain C++: nothing here touches X.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

enum class DrawTarget {
    OwnWindow,   // the program's own full-screen window
    HostWindow,  // a window another program made
    RootWindow,  // the screen's root window
};

struct HostOptions {
    DrawTarget target = DrawTarget::OwnWindow;
    std::uint32_t windowId = 0;  // for HostWindow
    std::string displayName;     // empty: $DISPLAY
    bool help = false;
};

struct HostOptionsResult {
    std::optional<HostOptions> options;  // empty on error
    std::string error;                   // one line, without the program's name
};

// `args` excludes the program name. `xscreensaverWindow` is the value of
// $XSCREENSAVER_WINDOW, or nullptr when it is not set; an empty value counts as
// not set.
HostOptionsResult ParseHostOptions(const std::vector<std::string>& args, const char* xscreensaverWindow);

// A window id as the hosts write it: decimal digits, or 0x / 0X and hex digits.
// Nothing else is allowed (no sign, no blanks); 0 and values past 32 bits are no
// window ids.
std::optional<std::uint32_t> ParseWindowId(std::string_view text);

// The usage text printed for -help.
const char* HostUsage();

}  // namespace veltrane
