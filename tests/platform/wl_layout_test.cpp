#include <gtest/gtest.h>

#include "platform/wayland/wl_layout.h"

namespace veltrane::platform {
namespace {

TEST(PlanSurface, DrawsTheAskedModeScaledOnlyWhereTheCompositorScales) {
    struct Case {
        const char* what;
        SurfaceSize configured, mode;
        bool canScale;
        SurfaceSize buffer, shown;
        bool scaled;
    };
    const SurfaceSize asked{1024, 768};
    const Case cases[] = {
        {"mode scaled to the output", {1920, 1080}, {1024, 768}, true, {1024, 768}, {1920, 1080}, true},
        {"no scaler: drawn at the output's size", {1920, 1080}, {1024, 768}, false, {1920, 1080}, {1920, 1080}, false},
        {"no mode asked: the output's size", {1600, 900}, {0, 0}, true, {1600, 900}, {1600, 900}, false},
        {"the output already has the mode's size", {1024, 768}, {1024, 768}, true, {1024, 768}, {1024, 768}, false},
        {"size left to us: the asked size", {0, 0}, {0, 0}, true, {1024, 768}, {1024, 768}, false},
        {"one dimension left to us", {800, 0}, {0, 0}, false, {800, 768}, {800, 768}, false},
    };
    for (const Case& c : cases) {
        const SurfaceLayout layout = PlanSurface(c.configured, asked, c.mode, c.canScale);
        EXPECT_EQ(layout.buffer.width, c.buffer.width) << c.what;
        EXPECT_EQ(layout.buffer.height, c.buffer.height) << c.what;
        EXPECT_EQ(layout.shown.width, c.shown.width) << c.what;
        EXPECT_EQ(layout.shown.height, c.shown.height) << c.what;
        EXPECT_EQ(layout.scaled, c.scaled) << c.what;
    }
}

TEST(PlanCovers, CoversEveryOutputButTheFullScreenSurfacesOnce) {
    using Names = std::vector<std::uint32_t>;
    struct Case {
        const char* what;
        Names outputs, fullScreenOn, covered, add, remove;
    };
    const Case cases[] = {
        {"not placed yet: no cover", {1, 2}, {}, {}, {}, {}},
        {"placed: the other outputs", {1, 2, 3}, {2}, {}, {1, 3}, {}},
        {"already covered: nothing new", {1, 2}, {1}, {2}, {}, {}},
        {"an output added", {1, 2, 3}, {1}, {2}, {3}, {}},
        {"a covered output gone", {1}, {1}, {2}, {}, {2}},
        {"moved onto a covered output", {1, 2}, {2}, {2}, {1}, {2}},
        {"the window gone: every cover goes", {1, 2}, {}, {2}, {}, {2}},
    };
    for (const Case& c : cases) {
        const CoverChanges changes = PlanCovers(c.outputs, c.fullScreenOn, c.covered);
        EXPECT_EQ(changes.add, c.add) << c.what;
        EXPECT_EQ(changes.remove, c.remove) << c.what;
    }
}

}  // namespace
}  // namespace veltrane::platform
