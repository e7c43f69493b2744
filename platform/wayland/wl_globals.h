// The connection to the compositor and the globals the renderer's surfaces
// need, bound from the registry. Outputs come and go while the program runs;
// the owner hears of both through OutputListener.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_seat;
struct wl_output;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct wp_viewporter;
struct zwp_idle_inhibit_manager_v1;

namespace veltrane::platform {

// How a bounded exchange with the compositor ended.
enum class Exchange {
    Answered,  // the compositor answered everything sent before it
    Stopped,   // the stop pipe became readable first (its bytes are left there)
    Silent,    // no answer within the time limit
    Lost,      // the connection is gone
};

// Sends what is buffered and waits until the compositor has answered it, at most
// `timeoutMs` and only until `stopFd` (when >= 0) becomes readable, dispatching
// what arrives meanwhile. libwayland's own round trip waits for ever.
Exchange ExchangeWithin(wl_display* display, int stopFd, int timeoutMs);

struct WaylandOutput {
    std::uint32_t name = 0;  // the registry's name for it
    wl_output* output = nullptr;
};

class OutputListener {
public:
    virtual ~OutputListener() = default;
    virtual void OutputAdded(const WaylandOutput& output) = 0;
    // Called before the output's proxy is released.
    virtual void OutputRemoved(const WaylandOutput& output) = 0;
};

class SeatListener {
public:
    virtual ~SeatListener() = default;
    virtual void SeatAdded(std::uint32_t name, wl_seat* seat) = 0;
    virtual void SeatRemoved(std::uint32_t name) = 0;
};

class WaylandGlobals {
public:
    // Connects to the compositor WAYLAND_DISPLAY names (wayland-0 when unset);
    // nullptr, with the reason, when there is none to connect to. libwayland's
    // own messages go to stderr as one line of ours each from here on.
    static std::unique_ptr<WaylandGlobals> Connect(std::string& reason);
    ~WaylandGlobals();
    WaylandGlobals(const WaylandGlobals&) = delete;
    WaylandGlobals& operator=(const WaylandGlobals&) = delete;

    // Binds what the compositor offers, in one exchange bounded as ExchangeWithin's;
    // Answered with an empty `reason` when the compositor is usable, else why not.
    Exchange Bind(int stopFd, int timeoutMs, std::string& reason);

    void SetListeners(OutputListener* outputs, SeatListener* seats);

    wl_display* display() const { return display_; }
    wl_compositor* compositor() const { return compositor_; }
    wl_shm* shm() const { return shm_; }
    xdg_wm_base* wmBase() const { return wmBase_; }
    zwlr_layer_shell_v1* layerShell() const { return layerShell_; }
    wp_viewporter* viewporter() const { return viewporter_; }
    zwp_idle_inhibit_manager_v1* idleInhibitManager() const { return idleInhibitManager_; }
    const std::vector<WaylandOutput>& outputs() const { return outputs_; }
    const WaylandOutput* FindOutput(const wl_output* output) const;

private:
    struct Seat {
        std::uint32_t name = 0;
        wl_seat* seat = nullptr;
    };

    explicit WaylandGlobals(wl_display* display) : display_(display) {}
    static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void GlobalRemove(void* data, wl_registry* registry, std::uint32_t name);

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    xdg_wm_base* wmBase_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    wp_viewporter* viewporter_ = nullptr;
    zwp_idle_inhibit_manager_v1* idleInhibitManager_ = nullptr;
    std::vector<WaylandOutput> outputs_;
    std::vector<Seat> seats_;
    OutputListener* outputListener_ = nullptr;
    SeatListener* seatListener_ = nullptr;
};

}  // namespace veltrane::platform
