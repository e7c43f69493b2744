#include "platform/wayland/wl_layout.h"

#include <algorithm>

namespace veltrane::platform {
namespace {

bool Contains(const std::vector<std::uint32_t>& names, std::uint32_t name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

SurfaceLayout PlanSurface(SurfaceSize configured, SurfaceSize asked, SurfaceSize mode, bool canScale) {
    SurfaceLayout layout;
    layout.shown.width = configured.width > 0 ? configured.width : asked.width;
    layout.shown.height = configured.height > 0 ? configured.height : asked.height;
    layout.shown.width = std::max(layout.shown.width, 1);
    layout.shown.height = std::max(layout.shown.height, 1);
    const bool modeAsked = mode.width > 0 && mode.height > 0;
    layout.scaled = modeAsked && canScale &&
                    (mode.width != layout.shown.width || mode.height != layout.shown.height);
    layout.buffer = layout.scaled ? mode : layout.shown;
    return layout;
}

CoverChanges PlanCovers(const std::vector<std::uint32_t>& outputs, const std::vector<std::uint32_t>& fullScreenOn,
                        const std::vector<std::uint32_t>& covered) {
    CoverChanges changes;
    auto wanted = [&](std::uint32_t output) {
        return !fullScreenOn.empty() && Contains(outputs, output) && !Contains(fullScreenOn, output);
    };
    for (std::uint32_t output : outputs) {
        if (wanted(output) && !Contains(covered, output)) changes.add.push_back(output);
    }
    for (std::uint32_t output : covered) {
        if (!wanted(output)) changes.remove.push_back(output);
    }
    return changes;
}

}  // namespace veltrane::platform
