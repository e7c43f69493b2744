// The renderer's command line and its loop in a host's window, without X: the
// parser on tables of command lines, the loop on a fake surface with a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "fakes.h"
#include "renderer/host_mode.h"
#include "renderer/host_options.h"

namespace veltrane::testing {
namespace {

using namespace std::chrono_literals;
using platform::HostSurface;
using platform::SurfaceSize;

struct ParseCase {
    std::vector<std::string> args;
    const char* env;  // $XSCREENSAVER_WINDOW, nullptr when unset
    DrawTarget target;
    std::uint32_t windowId;
    std::string display;
};

TEST(HostOptions, CommandLinesOfTheHostsChooseTheWindow) {
    const std::vector<ParseCase> cases = {
        {{}, "0x10", DrawTarget::OwnWindow, 0, ""},
        {{"-root"}, nullptr, DrawTarget::RootWindow, 0, ""},
        {{"-root"}, "", DrawTarget::RootWindow, 0, ""},
        {{"-root"}, "0x2a", DrawTarget::HostWindow, 42, ""},         // XScreenSaver
        {{"--root"}, "12582915", DrawTarget::HostWindow, 12582915, ""},  // XSecureLock
        {{"--window-id", "0x00C00003"}, nullptr, DrawTarget::HostWindow, 0xC00003, ""},
        {{"-window-id", "0XfFfFfFfF"}, nullptr, DrawTarget::HostWindow, 0xFFFFFFFF, ""},
        {{"-window-id", "4294967295"}, nullptr, DrawTarget::HostWindow, 0xFFFFFFFF, ""},
        {{"-root", "-window-id", "7"}, "9", DrawTarget::HostWindow, 7, ""},
        {{"-window-id", "7", "-window"}, nullptr, DrawTarget::HostWindow, 7, ""},
        {{"-root", "-window"}, nullptr, DrawTarget::OwnWindow, 0, ""},
        {{"-window", "-root"}, nullptr, DrawTarget::RootWindow, 0, ""},
        {{"-install", "-visual", "best", "-fps", "--no-fps", "-root"}, nullptr, DrawTarget::RootWindow, 0, ""},
        {{"--display", ":5", "-root"}, nullptr, DrawTarget::RootWindow, 0, ":5"},
    };
    for (const ParseCase& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        SCOPED_TRACE(line + "XSCREENSAVER_WINDOW=" + (c.env ? c.env : "(unset)"));
        const HostOptionsResult r = ParseHostOptions(c.args, c.env);
        ASSERT_TRUE(r.options.has_value()) << r.error;
        EXPECT_EQ(r.options->target, c.target);
        EXPECT_EQ(r.options->windowId, c.windowId);
        EXPECT_EQ(r.options->displayName, c.display);
        EXPECT_FALSE(r.options->help);
    }
    const HostOptionsResult help = ParseHostOptions({"--help"}, nullptr);
    ASSERT_TRUE(help.options.has_value());
    EXPECT_TRUE(help.options->help);
}

TEST(HostOptions, UnusableCommandLinesAreOneLineErrors) {
    const std::vector<std::pair<std::vector<std::string>, const char*>> cases = {
        {{"-window-id"}, nullptr},        {{"-window-id", "0xZZ"}, nullptr}, {{"-window-id", "12abc"}, nullptr},
        {{"-window-id", ""}, nullptr},    {{"-window-id", "0x"}, nullptr},   {{"-window-id", "-5"}, nullptr},
        {{"-window-id", " 5"}, nullptr},  {{"-window-id", "0"}, nullptr},    {{"-window-id", "4294967296"}, nullptr},
        {{"-window-id", "0x100000000"}, nullptr}, {{"-window-id", "99999999999999999999999999"}, nullptr},
        {{"-root"}, "junk"},              {{"-display"}, nullptr},           {{"-visual"}, nullptr},
        {{"-bogus"}, nullptr},            {{"root"}, nullptr},               {{"--"}, nullptr},
        {{"-delay", "10000"}, nullptr},
        // Control characters in the value are escaped, so the message stays one line.
        {{"-window-id", "5\n"}, nullptr}, {{"-frob\r\nVeltrane.dll: forged"}, nullptr},
        {{"-root"}, "5\n\x1b[2J"},      {{"-window-id", "\xc2\x85""5"}, nullptr},
    };
    for (const auto& [args, env] : cases) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        const HostOptionsResult r = ParseHostOptions(args, env);
        EXPECT_FALSE(r.options.has_value());
        EXPECT_FALSE(r.error.empty());
        const bool control = std::any_of(r.error.begin(), r.error.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        });
        EXPECT_FALSE(control) << r.error;
        EXPECT_EQ(r.error.find("\xc2\x85"), std::string::npos) << r.error;
    }
}

// A surface on a fake clock: a frame costs `frameCost`, a wait wakes `overshoot`
// after its deadline, and `script` plays the host between frames.
class FakeSurface final : public HostSurface {
public:
    SurfaceSize size{400, 300};
    bool visible = true, ended = false;
    Clock::duration frameCost = 5ms, overshoot = 0ms;
    Clock::time_point now{};
    std::vector<Clock::time_point> presents;
    int waits = 0, waitsWithoutDeadline = 0;
    std::function<void(FakeSurface&)> script;  // after every present and wait

    void Update() override {}
    bool Ended() const override { return ended; }
    bool Visible() const override { return visible; }
    SurfaceSize Size() const override { return size; }
    void WaitUntil(Clock::time_point deadline) override {
        ++waits;
        if (deadline == Clock::time_point::max()) ++waitsWithoutDeadline;
        else now = std::max(now, deadline) + overshoot;
        Play();
    }
    Clock::time_point Now() override { return now; }
    std::int64_t CalendarSeconds() override { return 1700000000; }
    void Present() override {
        now += frameCost;
        presents.push_back(now);
        Play();
    }

private:
    void Play() {
        if (script) script(*this);
        if (waits > 100000 || presents.size() > 100000) ended = true;  // a runaway loop fails, not hangs
    }
};

TEST(HostMode, DrawsAtTheSurfaceSizeFollowsItAndStopsWhenItEnds) {
    FakeSurface surface;
    FakeScene scene;
    surface.script = [](FakeSurface& s) {
        if (s.presents.size() == 2 && s.size.width == 400) s.size = {800, 600};
        if (s.presents.size() == 3 && s.visible && s.waitsWithoutDeadline == 0) s.visible = false;  // host unmaps
        if (s.waitsWithoutDeadline == 2) s.visible = true;
        if (s.presents.size() == 5) s.ended = true;
    };
    EXPECT_EQ(RunHostMode(surface, scene), 0);
    EXPECT_EQ(scene.log, (std::vector<std::string>{"PrepareScene", "SetProjection 400x300", "StepAndDraw",
                                                   "StepAndDraw", "SetProjection 800x600", "StepAndDraw",
                                                   "StepAndDraw", "StepAndDraw"}));
    EXPECT_EQ(surface.waitsWithoutDeadline, 2);  // hidden: it sleeps instead of drawing
}

TEST(HostMode, PacesTo60PerSecondOnAFixedGrid) {
    struct Case {
        std::chrono::microseconds frameCost, overshoot;
    };
    constexpr auto period = std::chrono::nanoseconds(1'000'000'000 / 60);
    for (const Case c : {Case{5000us, 3000us}, Case{0us, 1000us}, Case{16000us, 2000us}, Case{1000us, 0us}}) {
        SCOPED_TRACE(std::to_string(c.frameCost.count()) + " us a frame, waits " +
                     std::to_string(c.overshoot.count()) + " us late");
        FakeSurface surface;
        FakeScene scene;
        surface.frameCost = c.frameCost;
        surface.overshoot = c.overshoot;
        surface.script = [](FakeSurface& s) { s.ended = s.presents.size() == 601; };
        RunHostMode(surface, scene);
        ASSERT_EQ(surface.presents.size(), 601u);
        // 600 periods from the first frame to the last, however late each wait woke.
        const auto elapsed = surface.presents.back() - surface.presents.front();
        EXPECT_GT(elapsed, 10s - period);
        EXPECT_LT(elapsed, 10s + period);
    }
}

TEST(HostMode, AStalledFrameStartsANewGridInsteadOfABurst) {
    FakeSurface surface;
    FakeScene scene;
    surface.script = [](FakeSurface& s) {
        s.frameCost = s.presents.size() == 9 ? 200ms : 5ms;  // the 10th frame stalls
        s.ended = s.presents.size() == 30;
    };
    RunHostMode(surface, scene);
    for (std::size_t i = 11; i < surface.presents.size(); ++i) {
        EXPECT_GE(surface.presents[i] - surface.presents[i - 1], FramePacer::Offset(1)) << "frame " << i;
    }
}

}  // namespace
}  // namespace veltrane::testing
