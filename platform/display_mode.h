// The temporary display-mode switch, on XRandR: one output is put in a mode of
// the asked size when it has one, and the exact previous configuration (mode,
// position, rotation, outputs of its CRTC, and the screen's size in pixels and
// millimetres) is put back on Restore. X keeps a mode after its client dies, so
// the owner must restore on every way out.
#pragma once

#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace veltrane::platform {

class DisplayModeSwitch {
public:
    DisplayModeSwitch() = default;
    DisplayModeSwitch(const DisplayModeSwitch&) = delete;
    DisplayModeSwitch& operator=(const DisplayModeSwitch&) = delete;

    // True when a width x height mode is in force on the screen's main output
    // afterwards, also when it already was. The main output is the primary one,
    // else the first that is lit.
    bool Enter(::Display* display, int width, int height);
    // Puts back what the last successful Enter changed; nothing when it changed nothing.
    void Restore();
    bool changed() const { return changed_; }

private:
    struct CrtcConfig {
        RRCrtc crtc = 0;
        RRMode mode = 0;
        int x = 0, y = 0;
        Rotation rotation = RR_Rotate_0;
        std::vector<RROutput> outputs;
    };
    struct ScreenSize {
        int width = 0, height = 0, mmWidth = 0, mmHeight = 0;
    };

    bool Apply(const CrtcConfig& config, const ScreenSize& target);

    ::Display* display_ = nullptr;
    bool changed_ = false;
    CrtcConfig saved_;
    ScreenSize savedScreen_;
};

}  // namespace veltrane::platform
