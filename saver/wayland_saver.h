// Veltrane.scr /s in a Wayland session. There is no global window list to watch
// the renderer's window by its title, and the renderer covers every output
// itself, so the shell shows no cover: it starts the renderer from its own folder,
// keeps the one-saver rule with a lock held for exactly its own lifetime, and ends
// when the renderer ends. The other switches (/c through Xwayland, /p in an X
// host's window) run the X11 shell as before; /c takes the same lock first.
#pragma once

#include <optional>

namespace veltrane {

// Runs the saver when the session is Wayland and the command line asks for the
// saver (a second character s or S, or nothing) and returns the exit code. For
// the dialog (c or C) in a Wayland session it takes the one-saver lock, held
// until the process ends, and returns nullopt, or 0 when another holds it.
// Returns nullopt in every other case, having changed nothing: the X11 shell
// runs then.
std::optional<int> RunWaylandSaver(int argc, char** argv);

}  // namespace veltrane
