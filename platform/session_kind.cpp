#include "platform/session_kind.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace veltrane::platform {

std::optional<SessionKind> ForcedSessionKind(const char* value, std::string& error) {
    if (value == nullptr || *value == '\0') return std::nullopt;
    const std::string v = value;
    if (v == "x11") return SessionKind::X11;
    if (v == "wayland") return SessionKind::Wayland;
    error = std::string(kBackendVariable) + " must be x11 or wayland";
    return std::nullopt;
}

std::string WaylandSocketPath(const char* waylandDisplay, const char* runtimeDir) {
    if (waylandDisplay == nullptr || *waylandDisplay == '\0') return {};
    if (waylandDisplay[0] == '/') return waylandDisplay;
    if (runtimeDir == nullptr || runtimeDir[0] != '/') return {};
    return std::string(runtimeDir) + "/" + waylandDisplay;
}

static_assert(sizeof(sockaddr_un{}.sun_path) == kSocketPathLimit);

bool WaylandCompositorAnswers(const std::string& socketPath) {
    sockaddr_un address{};
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answers = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answers;
}

SessionKind DetectSessionKind(std::string& error) {
    if (const std::optional<SessionKind> forced = ForcedSessionKind(std::getenv(kBackendVariable), error)) {
        return *forced;
    }
    const std::string socket = WaylandSocketPath(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_RUNTIME_DIR"));
    return WaylandCompositorAnswers(socket) ? SessionKind::Wayland : SessionKind::X11;
}

}  // namespace veltrane::platform
