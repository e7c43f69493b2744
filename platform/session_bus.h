// The desktop session's D-Bus, for the few services a full-screen saver asks of
// it. Only a bus that already runs is used: the one DBUS_SESSION_BUS_ADDRESS
// names, else $XDG_RUNTIME_DIR/bus; none is ever started, and calls never start
// a service either.
#pragma once

#include <memory>

struct sd_bus;
struct sd_bus_message;

namespace veltrane::platform {

struct SessionBusCloser {
    void operator()(sd_bus* bus) const;
};
using SessionBus = std::unique_ptr<sd_bus, SessionBusCloser>;

// Calls wait at most this long: a service that hangs must not hold the saver back.
inline constexpr unsigned kSessionBusCallMicroseconds = 1'000'000;

// The session bus, or null when there is none.
SessionBus OpenSessionBus();

// A method call on `bus` that starts no service: `destination` must already run.
// The new message, or null on failure; append the arguments, then sd_bus_call.
sd_bus_message* NewSessionCall(sd_bus* bus, const char* destination, const char* path, const char* interface,
                               const char* member);

}  // namespace veltrane::platform
