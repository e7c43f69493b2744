#include "platform/session_inhibit.h"

#include <systemd/sd-bus.h>

namespace veltrane::platform {

namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kPath = "/org/freedesktop/ScreenSaver";

}  // namespace

std::unique_ptr<SessionInhibit> SessionInhibit::Hold(const char* application, const char* reason) {
    SessionBus bus = OpenSessionBus();
    if (!bus) return nullptr;
    sd_bus_message* call = NewSessionCall(bus.get(), kService, kPath, kService, "Inhibit");
    if (call == nullptr) return nullptr;
    sd_bus_message* reply = nullptr;
    std::uint32_t cookie = 0;
    const bool held = sd_bus_message_append(call, "ss", application, reason) >= 0 &&
                      sd_bus_call(bus.get(), call, 0, nullptr, &reply) >= 0 &&
                      sd_bus_message_read(reply, "u", &cookie) >= 0;
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    if (!held) return nullptr;
    return std::unique_ptr<SessionInhibit>(new SessionInhibit(std::move(bus), cookie));
}

SessionInhibit::~SessionInhibit() {
    // Closing the connection would drop it too; releasing it by name says so at once.
    if (sd_bus_message* call = NewSessionCall(bus_.get(), kService, kPath, kService, "UnInhibit")) {
        if (sd_bus_message_append(call, "u", cookie_) >= 0) sd_bus_call(bus_.get(), call, 0, nullptr, nullptr);
        sd_bus_message_unref(call);
    }
}

}  // namespace veltrane::platform
