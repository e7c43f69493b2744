// Which window system a program should use: X11 or a native Wayland connection.
// VELTRANE_BACKEND=x11|wayland forces one; otherwise a Wayland session is one
// whose WAYLAND_DISPLAY names a compositor socket that accepts a connection.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace veltrane::platform {

inline constexpr const char* kBackendVariable = "VELTRANE_BACKEND";

// A socket address holds a path shorter than this (the zero that ends it included).
inline constexpr std::size_t kSocketPathLimit = 108;

enum class SessionKind { X11, Wayland };

// What VELTRANE_BACKEND asks for: nullopt when unset or empty; `error` is set
// (and nullopt returned) for any other value.
std::optional<SessionKind> ForcedSessionKind(const char* value, std::string& error);

// The socket path WAYLAND_DISPLAY names: an absolute name as it is, a relative
// one inside XDG_RUNTIME_DIR; empty when it names none.
std::string WaylandSocketPath(const char* waylandDisplay, const char* runtimeDir);

// True when a compositor accepts a connection on that socket.
bool WaylandCompositorAnswers(const std::string& socketPath);

// From the environment: the forced kind, else Wayland when the compositor
// answers, else X11. `error` is set when VELTRANE_BACKEND holds something else.
SessionKind DetectSessionKind(std::string& error);

}  // namespace veltrane::platform
