// Pointer and keyboard of every seat: the pointer is hidden over our surfaces
// while the display count is below 0, and Escape presses and releases are
// handed on. Escape is the key the seat's keymap gives the Escape keysym: a
// virtual keyboard (on-screen, remote desktop, wtype) brings a keymap of its
// own whose key codes are not the evdev ones.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/wayland/wl_globals.h"

struct wl_surface;
struct wl_pointer;
struct wl_keyboard;
struct wl_cursor_theme;
struct xkb_context;

namespace veltrane::platform {

class KeyTarget {
public:
    virtual ~KeyTarget() = default;
    // `focus` is the surface that has the keyboard focus (null if none known).
    virtual void EscapeKey(wl_surface* focus, bool down) = 0;
};

class WaylandInput final : public SeatListener {
public:
    WaylandInput(WaylandGlobals& globals, KeyTarget& keys);
    ~WaylandInput() override;
    WaylandInput(const WaylandInput&) = delete;
    WaylandInput& operator=(const WaylandInput&) = delete;

    // The pointer's display count: shown while it is 0 or more. Returns the new count.
    int ShowCursor(bool show);

    void SeatAdded(std::uint32_t name, wl_seat* seat) override;
    void SeatRemoved(std::uint32_t name) override;

    struct Seat;

private:
    void ApplyCursor(Seat& seat);

    WaylandGlobals& globals_;
    KeyTarget& keys_;
    int cursorCount_ = 0;
    wl_cursor_theme* theme_ = nullptr;  // loaded the first time a pointer is shown
    xkb_context* xkb_ = nullptr;
    std::vector<std::unique_ptr<Seat>> seats_;

    friend struct InputEvents;
};

}  // namespace veltrane::platform
