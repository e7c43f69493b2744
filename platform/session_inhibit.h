// Holds the session's idle actions (screen saver, blanking, power-down) off
// through its screen-saver service, org.freedesktop.ScreenSaver, for as long as
// the object lives. GNOME's settings daemon forwards it to the session manager;
// KDE, Xfce, MATE and Cinnamon implement it. The inhibit belongs to this
// process's bus connection, so the service drops it when the process dies.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/session_bus.h"

namespace veltrane::platform {

class SessionInhibit {
public:
    // Null when there is no session bus, no service on it, or no answer in time.
    static std::unique_ptr<SessionInhibit> Hold(const char* application, const char* reason);
    ~SessionInhibit();
    SessionInhibit(const SessionInhibit&) = delete;
    SessionInhibit& operator=(const SessionInhibit&) = delete;

private:
    SessionInhibit(SessionBus bus, std::uint32_t cookie) : bus_(std::move(bus)), cookie_(cookie) {}
    SessionBus bus_;
    std::uint32_t cookie_ = 0;
};

}  // namespace veltrane::platform
