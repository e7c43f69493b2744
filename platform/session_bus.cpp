#include "platform/session_bus.h"

#include <systemd/sd-bus.h>

namespace veltrane::platform {

void SessionBusCloser::operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }

SessionBus OpenSessionBus() {
    // sd-bus reads DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus, and never
    // launches a bus of its own.
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return nullptr;
    SessionBus owned(bus);
    if (sd_bus_set_method_call_timeout(bus, kSessionBusCallMicroseconds) < 0) return nullptr;
    return owned;
}

sd_bus_message* NewSessionCall(sd_bus* bus, const char* destination, const char* path, const char* interface,
                               const char* member) {
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, destination, path, interface, member) < 0) return nullptr;
    if (sd_bus_message_set_auto_start(call, 0) < 0) {
        sd_bus_message_unref(call);
        return nullptr;
    }
    return call;
}

}  // namespace veltrane::platform
