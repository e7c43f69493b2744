// The Wayland backend's sizing and covering decisions, as plain logic: the size
// a surface's buffer is drawn at and shown at, and which outputs need a black
// cover beside the full-screen surface.
#pragma once

#include <cstdint>
#include <vector>

namespace veltrane::platform {

struct SurfaceSize {
    std::int32_t width = 0, height = 0;
};

struct SurfaceLayout {
    SurfaceSize buffer;       // what GL draws into
    bool scaled = false;      // the compositor scales the buffer to `shown`
    SurfaceSize shown;        // the surface's size on the output
};

// `configured` is the compositor's suggestion (0 in a dimension: ours to pick,
// then `asked` is used). A display mode asked for (`mode`, 0 x 0 when none) can
// not be set on Wayland: the buffer is drawn at that size and scaled to the
// surface when the compositor can scale (viewporter); otherwise it is drawn at
// the surface's size.
SurfaceLayout PlanSurface(SurfaceSize configured, SurfaceSize asked, SurfaceSize mode, bool canScale);

struct CoverChanges {
    std::vector<std::uint32_t> add, remove;
};

// Outputs are named by their registry names. Every output except those the
// full-screen surface is on gets a cover; none while it is on no output yet
// (the compositor has not placed it), and a cover whose output went away or
// that the full-screen surface moved onto is removed.
CoverChanges PlanCovers(const std::vector<std::uint32_t>& outputs, const std::vector<std::uint32_t>& fullScreenOn,
                        const std::vector<std::uint32_t>& covered);

}  // namespace veltrane::platform
