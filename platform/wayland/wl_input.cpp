#include "platform/wayland/wl_input.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

namespace veltrane::platform {

namespace {
constexpr std::uint32_t kEvdevEscape = 1;  // KEY_ESC, for a keyboard that sends no keymap
constexpr std::uint32_t kXkbKeycodeOffset = 8;  // xkb's key codes are the protocol's plus 8
constexpr int kCursorSize = 24;

// The keymap the compositor sends, read from its file; null when it cannot be read.
xkb_keymap* ReadKeymap(xkb_context* context, std::int32_t fd, std::uint32_t size) {
    if (context == nullptr || size == 0) return nullptr;
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text == MAP_FAILED) return nullptr;
    // The text ends with a zero inside `size`; the parser is given its length without it.
    const std::size_t length = strnlen(static_cast<const char*>(text), size);
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(context, static_cast<const char*>(text), length,
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    return keymap;
}

// Before version 3 of the seat a pointer or keyboard can only be dropped on our side.
void Release(wl_pointer* pointer) {
    if (wl_pointer_get_version(pointer) >= WL_POINTER_RELEASE_SINCE_VERSION) {
        wl_pointer_release(pointer);
    } else {
        wl_pointer_destroy(pointer);
    }
}
void Release(wl_keyboard* keyboard) {
    if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
        wl_keyboard_release(keyboard);
    } else {
        wl_keyboard_destroy(keyboard);
    }
}
}  // namespace

struct WaylandInput::Seat {
    WaylandInput* owner = nullptr;
    std::uint32_t name = 0;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_surface* cursorSurface = nullptr;
    wl_surface* pointerOver = nullptr;  // our surface under the pointer
    std::uint32_t enterSerial = 0;
    wl_surface* keyboardFocus = nullptr;
    bool keymapSent = false;        // the keyboard said which keymap it uses
    xkb_keymap* keymap = nullptr;   // that keymap, when it could be read
    xkb_state* keyState = nullptr;  // its modifiers and group, as the compositor reports them
    std::vector<std::uint32_t> escapesDown;  // the key codes pressed as Escape

    ~Seat() { DropKeymap(); }
    void DropKeymap() {
        if (keyState != nullptr) xkb_state_unref(keyState);
        if (keymap != nullptr) xkb_keymap_unref(keymap);
        keyState = nullptr;
        keymap = nullptr;
    }
    // Whether `key` (a protocol key code) is Escape in the current state. With a
    // keymap that could not be read no key is; a keyboard with no keymap at
    // all sends evdev codes.
    bool IsEscape(std::uint32_t key) const {
        if (!keymapSent) return key == kEvdevEscape;
        if (keyState == nullptr) return false;
        return xkb_state_key_get_one_sym(keyState, key + kXkbKeycodeOffset) == XKB_KEY_Escape;
    }
};

// The protocol's listeners; every event of the bound versions has a handler.
struct InputEvents {
    using Seat = WaylandInput::Seat;

    static void PointerEnter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface, wl_fixed_t,
                             wl_fixed_t) {
        auto* seat = static_cast<Seat*>(data);
        seat->pointerOver = surface;
        seat->enterSerial = serial;
        seat->owner->ApplyCursor(*seat);
    }
    static void PointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
        static_cast<Seat*>(data)->pointerOver = nullptr;
    }
    static void PointerMotion(void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {}
    static void PointerButton(void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
    static void PointerAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
    static void PointerFrame(void*, wl_pointer*) {}
    static void PointerAxisSource(void*, wl_pointer*, std::uint32_t) {}
    static void PointerAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
    static void PointerAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

    static void KeyboardKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                               std::uint32_t size) {
        auto* seat = static_cast<Seat*>(data);
        seat->DropKeymap();
        seat->escapesDown.clear();
        seat->keymapSent = format != WL_KEYBOARD_KEYMAP_FORMAT_NO_KEYMAP;
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
            seat->keymap = ReadKeymap(seat->owner->xkb_, fd, size);
            if (seat->keymap != nullptr) seat->keyState = xkb_state_new(seat->keymap);
        }
        close(fd);
    }
    static void KeyboardEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array* keys) {
        auto* seat = static_cast<Seat*>(data);
        seat->keyboardFocus = surface;
        // Escape already down when the focus comes is held all the same. A seat's
        // keyboard may also come and go with its device (a virtual keyboard), and
        // a new keyboard object learns of a press only here.
        const auto* pressed = static_cast<const std::uint32_t*>(keys->data);
        const std::size_t count = keys->size / sizeof(std::uint32_t);
        seat->escapesDown.clear();
        for (std::size_t i = 0; i < count; ++i) {
            if (seat->IsEscape(pressed[i])) seat->escapesDown.push_back(pressed[i]);
        }
        if (!seat->escapesDown.empty()) seat->owner->keys_.EscapeKey(surface, true);
    }
    static void KeyboardLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface*) {
        auto* seat = static_cast<Seat*>(data);
        seat->keyboardFocus = nullptr;
        seat->escapesDown.clear();
    }
    static void KeyboardKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
                            std::uint32_t state) {
        auto* seat = static_cast<Seat*>(data);
        auto& down = seat->escapesDown;
        if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
            if (!seat->IsEscape(key)) return;
            if (std::find(down.begin(), down.end(), key) == down.end()) down.push_back(key);
            seat->owner->keys_.EscapeKey(seat->keyboardFocus, true);
            return;
        }
        // A release is Escape's when its press was, whatever the modifiers did since.
        const auto it = std::find(down.begin(), down.end(), key);
        if (it == down.end()) return;
        down.erase(it);
        seat->owner->keys_.EscapeKey(seat->keyboardFocus, false);
    }
    static void KeyboardModifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed,
                                  std::uint32_t latched, std::uint32_t locked, std::uint32_t group) {
        auto* seat = static_cast<Seat*>(data);
        if (seat->keyState != nullptr) xkb_state_update_mask(seat->keyState, depressed, latched, locked, 0, 0, group);
    }
    // The compositor sends presses only; a held key is not repeated here.
    static void KeyboardRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

    static void Capabilities(void* data, wl_seat* wlSeat, std::uint32_t capabilities) {
        static const wl_pointer_listener pointerListener = {
            PointerEnter, PointerLeave,      PointerMotion,   PointerButton,       PointerAxis,
            PointerFrame, PointerAxisSource, PointerAxisStop, PointerAxisDiscrete, nullptr,
        };
        static const wl_keyboard_listener keyboardListener = {
            KeyboardKeymap, KeyboardEnter, KeyboardLeave, KeyboardKey, KeyboardModifiers, KeyboardRepeatInfo,
        };
        auto* seat = static_cast<Seat*>(data);
        const bool hasPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
        const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
        if (hasPointer && seat->pointer == nullptr) {
            seat->pointer = wl_seat_get_pointer(wlSeat);
            wl_pointer_add_listener(seat->pointer, &pointerListener, seat);
        } else if (!hasPointer && seat->pointer != nullptr) {
            Release(seat->pointer);
            seat->pointer = nullptr;
            seat->pointerOver = nullptr;
        }
        if (hasKeyboard && seat->keyboard == nullptr) {
            seat->keyboard = wl_seat_get_keyboard(wlSeat);
            wl_keyboard_add_listener(seat->keyboard, &keyboardListener, seat);
        } else if (!hasKeyboard && seat->keyboard != nullptr) {
            Release(seat->keyboard);
            seat->keyboard = nullptr;
            seat->keyboardFocus = nullptr;
            seat->keymapSent = false;
            seat->DropKeymap();
            seat->escapesDown.clear();
        }
    }
    static void Name(void*, wl_seat*, const char*) {}
};

WaylandInput::WaylandInput(WaylandGlobals& globals, KeyTarget& keys)
    : globals_(globals), keys_(keys), xkb_(xkb_context_new(static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES))) {}

WaylandInput::~WaylandInput() {
    while (!seats_.empty()) SeatRemoved(seats_.back()->name);
    if (theme_ != nullptr) wl_cursor_theme_destroy(theme_);
    if (xkb_ != nullptr) xkb_context_unref(xkb_);
}

void WaylandInput::SeatAdded(std::uint32_t name, wl_seat* wlSeat) {
    static const wl_seat_listener seatListener = {InputEvents::Capabilities, InputEvents::Name};
    auto seat = std::make_unique<Seat>();
    seat->owner = this;
    seat->name = name;
    seat->seat = wlSeat;
    wl_seat_add_listener(wlSeat, &seatListener, seat.get());
    seats_.push_back(std::move(seat));
}

void WaylandInput::SeatRemoved(std::uint32_t name) {
    auto it = std::find_if(seats_.begin(), seats_.end(), [name](const auto& s) { return s->name == name; });
    if (it == seats_.end()) return;
    Seat& seat = **it;
    if (seat.pointer != nullptr) Release(seat.pointer);
    if (seat.keyboard != nullptr) Release(seat.keyboard);
    if (seat.cursorSurface != nullptr) wl_surface_destroy(seat.cursorSurface);
    seats_.erase(it);
}

int WaylandInput::ShowCursor(bool show) {
    cursorCount_ += show ? 1 : -1;
    for (auto& seat : seats_) {
        if (seat->pointerOver != nullptr) ApplyCursor(*seat);
    }
    return cursorCount_;
}

void WaylandInput::ApplyCursor(Seat& seat) {
    if (seat.pointer == nullptr) return;
    if (cursorCount_ < 0) {
        wl_pointer_set_cursor(seat.pointer, seat.enterSerial, nullptr, 0, 0);
        return;
    }
    if (theme_ == nullptr) theme_ = wl_cursor_theme_load(nullptr, kCursorSize, globals_.shm());
    wl_cursor* arrow = theme_ != nullptr ? wl_cursor_theme_get_cursor(theme_, "left_ptr") : nullptr;
    if (arrow == nullptr || arrow->image_count == 0) return;
    wl_cursor_image* image = arrow->images[0];
    wl_buffer* buffer = wl_cursor_image_get_buffer(image);
    if (buffer == nullptr) return;
    if (seat.cursorSurface == nullptr) seat.cursorSurface = wl_compositor_create_surface(globals_.compositor());
    wl_pointer_set_cursor(seat.pointer, seat.enterSerial, seat.cursorSurface,
                          static_cast<std::int32_t>(image->hotspot_x), static_cast<std::int32_t>(image->hotspot_y));
    wl_surface_attach(seat.cursorSurface, buffer, 0, 0);
    wl_surface_damage(seat.cursorSurface, 0, 0, static_cast<std::int32_t>(image->width),
                      static_cast<std::int32_t>(image->height));
    wl_surface_commit(seat.cursorSurface);
}

}  // namespace veltrane::platform
