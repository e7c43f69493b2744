#include "platform/wayland/wl_globals.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <wayland-client.h>

#include "platform/session_kind.h"

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "platform/wayland/wl_layer_shell.h"
#include "xdg-shell-client-protocol.h"

namespace veltrane::platform {
namespace {

void Ping(void*, xdg_wm_base* wmBase, std::uint32_t serial) { xdg_wm_base_pong(wmBase, serial); }
const xdg_wm_base_listener kWmBaseListener = {Ping};

template <typename T>
T* BindAs(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
          std::uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

// The versions whose events we handle; a newer compositor talks to us in these.
constexpr std::uint32_t kCompositorVersion = 4;
constexpr std::uint32_t kSeatVersion = 5;
constexpr std::uint32_t kOutputVersion = 3;
constexpr std::uint32_t kLayerShellVersion = 4;

// libwayland writes its messages to stderr unprefixed, some over several calls;
// each becomes one line of ours.
void LogLine(const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == ' ')) text[--length] = '\0';
    if (length > 0) std::fprintf(stderr, "Veltrane.dll: Wayland: %s\n", text);
}

void SyncDone(void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }
const wl_callback_listener kSyncListener = {SyncDone};

}  // namespace

Exchange ExchangeWithin(wl_display* display, int stopFd, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool answered = false;
    wl_callback* sync = wl_display_sync(display);
    wl_callback_add_listener(sync, &kSyncListener, &answered);
    Exchange result = Exchange::Answered;
    while (!answered) {
        bool lost = false;
        while (!lost && wl_display_prepare_read(display) != 0) lost = wl_display_dispatch_pending(display) < 0;
        if (lost) {
            result = Exchange::Lost;
            break;
        }
        if (answered) {
            wl_display_cancel_read(display);
            break;
        }
        bool unsent = false;  // the socket is full: wait until it takes more too
        if (wl_display_flush(display) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(display);
                result = Exchange::Lost;
                break;
            }
            unsent = true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            wl_display_cancel_read(display);
            result = Exchange::Silent;
            break;
        }
        pollfd fds[2] = {{wl_display_get_fd(display), static_cast<short>(POLLIN | (unsent ? POLLOUT : 0)), 0},
                         {stopFd, POLLIN, 0}};
        const int ready = poll(fds, stopFd >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready > 0 && stopFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            wl_display_cancel_read(display);
            result = Exchange::Stopped;
            break;
        }
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            if (wl_display_read_events(display) < 0) {
                result = Exchange::Lost;
                break;
            }
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0) {
            result = Exchange::Lost;
            break;
        }
    }
    // An answer that comes after we gave up goes to a destroyed proxy and is dropped.
    wl_callback_destroy(sync);
    return result;
}

std::unique_ptr<WaylandGlobals> WaylandGlobals::Connect(std::string& reason) {
    wl_log_set_handler_client(LogLine);
    // libwayland refuses a path too long for a socket address with a message of
    // its own that repeats the whole path; ours is shorter.
    if (std::getenv("WAYLAND_SOCKET") == nullptr) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        const std::string path =
            WaylandSocketPath(name != nullptr && *name != '\0' ? name : "wayland-0", std::getenv("XDG_RUNTIME_DIR"));
        if (path.empty()) {
            reason = "WAYLAND_DISPLAY names no socket (XDG_RUNTIME_DIR is not set)";
            return nullptr;
        }
        if (path.size() >= kSocketPathLimit) {
            reason = "WAYLAND_DISPLAY names a socket path of " + std::to_string(path.size()) +
                     " bytes, more than a socket address holds";
            return nullptr;
        }
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        reason = "cannot connect to a Wayland compositor";
        return nullptr;
    }
    return std::unique_ptr<WaylandGlobals>(new WaylandGlobals(display));
}

WaylandGlobals::~WaylandGlobals() {
    for (const WaylandOutput& output : outputs_) {
        if (wl_output_get_version(output.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
            wl_output_release(output.output);
        } else {
            wl_output_destroy(output.output);
        }
    }
    for (const Seat& seat : seats_) wl_seat_destroy(seat.seat);
    if (idleInhibitManager_ != nullptr) zwp_idle_inhibit_manager_v1_destroy(idleInhibitManager_);
    if (viewporter_ != nullptr) wp_viewporter_destroy(viewporter_);
    if (layerShell_ != nullptr) zwlr_layer_shell_v1_destroy(layerShell_);
    if (wmBase_ != nullptr) xdg_wm_base_destroy(wmBase_);
    if (shm_ != nullptr) wl_shm_destroy(shm_);
    if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
    if (registry_ != nullptr) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

Exchange WaylandGlobals::Bind(int stopFd, int timeoutMs, std::string& reason) {
    static const wl_registry_listener listener = {Global, GlobalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);
    const Exchange exchange = ExchangeWithin(display_, stopFd, timeoutMs);
    if (exchange == Exchange::Lost) reason = "the Wayland compositor closed the connection";
    if (exchange == Exchange::Silent) {
        reason = "the Wayland compositor did not answer within " + std::to_string(timeoutMs / 1000) + " s";
    }
    if (exchange != Exchange::Answered) return exchange;
    if (compositor_ == nullptr || shm_ == nullptr) {
        reason = "the Wayland compositor offers no wl_compositor or wl_shm";
    } else if (layerShell_ == nullptr && wmBase_ == nullptr) {
        reason = "the Wayland compositor offers neither the layer shell nor xdg-shell";
    }
    return exchange;
}

void WaylandGlobals::SetListeners(OutputListener* outputs, SeatListener* seats) {
    outputListener_ = outputs;
    seatListener_ = seats;
    if (seatListener_ != nullptr) {
        for (const Seat& seat : seats_) seatListener_->SeatAdded(seat.name, seat.seat);
    }
}

const WaylandOutput* WaylandGlobals::FindOutput(const wl_output* output) const {
    for (const WaylandOutput& known : outputs_) {
        if (known.output == output) return &known;
    }
    return nullptr;
}

void WaylandGlobals::Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                            std::uint32_t version) {
    auto* self = static_cast<WaylandGlobals*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && self->compositor_ == nullptr) {
        self->compositor_ =
            BindAs<wl_compositor>(registry, name, &wl_compositor_interface, version, kCompositorVersion);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && self->shm_ == nullptr) {
        self->shm_ = BindAs<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && self->wmBase_ == nullptr) {
        self->wmBase_ = BindAs<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(self->wmBase_, &kWmBaseListener, self);
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && self->layerShell_ == nullptr &&
               version >= 3) {
        // From version 3 on the shell object can be destroyed without a protocol error.
        self->layerShell_ =
            BindAs<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, kLayerShellVersion);
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0 && self->viewporter_ == nullptr) {
        self->viewporter_ = BindAs<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0 &&
               self->idleInhibitManager_ == nullptr) {
        self->idleInhibitManager_ = BindAs<zwp_idle_inhibit_manager_v1>(
            registry, name, &zwp_idle_inhibit_manager_v1_interface, version, 1);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        const WaylandOutput output{name, BindAs<wl_output>(registry, name, &wl_output_interface, version,
                                                           kOutputVersion)};
        self->outputs_.push_back(output);
        if (self->outputListener_ != nullptr) self->outputListener_->OutputAdded(output);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        const Seat seat{name, BindAs<wl_seat>(registry, name, &wl_seat_interface, version, kSeatVersion)};
        self->seats_.push_back(seat);
        if (self->seatListener_ != nullptr) self->seatListener_->SeatAdded(seat.name, seat.seat);
    }
}

void WaylandGlobals::GlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* self = static_cast<WaylandGlobals*>(data);
    auto output = std::find_if(self->outputs_.begin(), self->outputs_.end(),
                               [name](const WaylandOutput& o) { return o.name == name; });
    if (output != self->outputs_.end()) {
        const WaylandOutput gone = *output;
        self->outputs_.erase(output);
        if (self->outputListener_ != nullptr) self->outputListener_->OutputRemoved(gone);
        if (wl_output_get_version(gone.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
            wl_output_release(gone.output);
        } else {
            wl_output_destroy(gone.output);
        }
        return;
    }
    auto seat =
        std::find_if(self->seats_.begin(), self->seats_.end(), [name](const Seat& s) { return s.name == name; });
    if (seat != self->seats_.end()) {
        if (self->seatListener_ != nullptr) self->seatListener_->SeatRemoved(name);
        wl_seat_destroy(seat->seat);
        self->seats_.erase(seat);
    }
}

}  // namespace veltrane::platform
