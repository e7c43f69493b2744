#include "platform/gnome_overview.h"

#include <systemd/sd-bus.h>

#include <optional>
#include <thread>

#include "platform/session_bus.h"

namespace veltrane::platform {

namespace {

constexpr const char* kShell = "org.gnome.Shell";
constexpr const char* kPath = "/org/gnome/Shell";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kProperty = "OverviewActive";

// The overview's state; nullopt when no shell answers.
std::optional<bool> OverviewShows(sd_bus* bus) {
    sd_bus_message* call = NewSessionCall(bus, kShell, kPath, kProperties, "Get");
    if (call == nullptr) return std::nullopt;
    sd_bus_message* reply = nullptr;
    int shows = 0;
    const bool answered = sd_bus_message_append(call, "ss", kShell, kProperty) >= 0 &&
                          sd_bus_call(bus, call, 0, nullptr, &reply) >= 0 &&
                          sd_bus_message_read(reply, "v", "b", &shows) >= 0;
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    if (!answered) return std::nullopt;
    return shows != 0;
}

bool CloseOverview(sd_bus* bus) {
    sd_bus_message* call = NewSessionCall(bus, kShell, kPath, kProperties, "Set");
    if (call == nullptr) return false;
    const bool done = sd_bus_message_append(call, "ssv", kShell, kProperty, "b", 0) >= 0 &&
                      sd_bus_call(bus, call, 0, nullptr, nullptr) >= 0;
    sd_bus_message_unref(call);
    return done;
}

}  // namespace

bool LeaveGnomeOverview(std::chrono::milliseconds limit) {
    SessionBus bus = OpenSessionBus();
    if (!bus || OverviewShows(bus.get()) != true || !CloseOverview(bus.get())) return false;
    // The overview is gone once its closing animation has run.
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::optional<bool> shows = OverviewShows(bus.get());
        if (shows != true) return shows.has_value();
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace veltrane::platform
