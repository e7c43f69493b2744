// The temporary display-mode switch, on XRandR: one output is put in a mode of
// the asked size when it has one, and the exact previous configuration (mode,
// position, rotation, outputs of its CRTC, and the screen's size in pixels and
// millimetres) is put back on Restore.
//
// X keeps a mode after its client dies, and several renderers may hold the mode
// at once, so the configuration to give back lives on the root window, not only
// in the process: the first switch records it there with its holder; a later
// renderer that finds the mode already switched joins the holders; the last holder
// to leave puts the recorded configuration back. A holder is a small window of
// the holding connection, so the server itself drops a holder that was killed or
// crashed, and the next look (another renderer starting, the shell reaping a
// killed renderer, a renderer whose connection was cut) restores the record that
// no live holder stands behind.
//
// Any client can write those properties, and the user may set a mode of their own
// after a renderer died, so the record also names the state the switch left, and
// is given back only while its CRTC is still exactly in that state and the
// record fits the server (display_record.h); otherwise it is dropped. Only
// windows of the holder's own shape, made by the process their mark names,
// count as holders; never the root.
#pragma once

#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace veltrane::platform {

// Root-window properties of the record: the configuration to give back, and the
// windows of the connections that hold the switched mode.
inline constexpr const char* kSavedDisplayAtom = "_VELTRANE_SAVED_DISPLAY";
inline constexpr const char* kDisplayHoldersAtom = "_VELTRANE_DISPLAY_HOLDERS";

class DisplayModeSwitch {
public:
    DisplayModeSwitch() = default;
    ~DisplayModeSwitch() = default;
    DisplayModeSwitch(const DisplayModeSwitch&) = delete;
    DisplayModeSwitch& operator=(const DisplayModeSwitch&) = delete;

    // True when a width x height mode is in force on the screen's main output
    // afterwards, also when it already was. The main output is the primary one,
    // else the first that is lit. A record no live holder stands behind is given
    // back first.
    bool Enter(::Display* display, int width, int height);
    // Leaves the holders; the last one out puts the recorded configuration back.
    // Nothing when Enter changed and joined nothing.
    void Restore();
    bool changed() const { return holder_ != 0; }

private:
    ::Display* display_ = nullptr;
    ::Window holder_ = 0;  // our holder window while we hold the mode
};

// Gives back a recorded configuration that no live holder stands behind (its
// renderer was killed or lost its connection); true when one was given back.
bool RestoreAbandonedDisplayMode(::Display* display);

}  // namespace veltrane::platform
