// Figures for the renderer in a saver host's window, on a private Xvfb
// 1280x1024x24 with Mesa's llvmpipe: frames per second and CPU share of one core
// of the host loop in this process, paced (as the program runs) and unpaced (for
// comparison), the X server's CPU beside it, whether a swap interval could be
// set, and the time from spawning `Veltrane.dll -window-id` to its first frame in
// the host's window (median of several runs). Prints figures, asserts nothing.
//
//   host_mode_bench [--seconds S] [--runs N]
// The test support first: it brings gtest in before Xlib and its macros.
#include "support/xvfb_session.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/x11/x11_host_surface.h"
#include "renderer/host_mode.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The X11 surface, ended after a fixed run so the loop can be timed in-process.
class TimedSurface final : public veltrane::platform::HostSurface {
public:
    TimedSurface(veltrane::platform::HostSurface& inner, Clock::duration runFor) : inner_(inner), runFor_(runFor) {}
    void Update() override { inner_.Update(); }
    bool Ended() const override { return inner_.Ended() || (frames_ > 0 && Clock::now() - start_ >= runFor_); }
    bool Visible() const override { return inner_.Visible(); }
    veltrane::platform::SurfaceSize Size() const override { return inner_.Size(); }
    void WaitUntil(Clock::time_point deadline) override { inner_.WaitUntil(deadline); }
    Clock::time_point Now() override { return inner_.Now(); }
    std::int64_t CalendarSeconds() override { return inner_.CalendarSeconds(); }
    void Present() override {
        inner_.Present();
        if (frames_++ == 0) start_ = Clock::now();  // timed from the first frame on
    }
    int frames() const { return frames_; }
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

private:
    veltrane::platform::HostSurface& inner_;
    Clock::duration runFor_;
    int frames_ = 0;
    Clock::time_point start_;
};

void MeasureLoop(::Window host, pid_t xvfb, bool pace, double seconds, const char* label) {
    veltrane::platform::HostSurfaceSettings settings;
    settings.window = host;
    std::string error;
    auto surface = veltrane::platform::X11HostSurface::Attach(
        settings, veltrane::RendererPixelFormat(veltrane::kRendererColorBits), error);
    if (!surface) {
        std::printf("cannot attach: %s\n", error.c_str());
        return;
    }
    if (pace) std::printf("swap interval set through GLX swap control: %s\n", surface->SwapSynchronised() ? "yes" : "no");
    TimedSurface timed(*surface, std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
    const double cpuBefore = ProcessCpuSeconds();
    const double serverBefore = veltrane::testing::CpuSecondsOf(xvfb);
    veltrane::RunHostMode(timed, veltrane::RealRendererScene(), veltrane::HostModeSettings{pace});
    const double wall = timed.seconds();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double server = veltrane::testing::CpuSecondsOf(xvfb) - serverBefore;
    std::printf("%-9s %-8s %6.1f frames/s over %.1f s; CPU %5.1f%% of one core (renderer), %5.1f%% (Xvfb)\n",
                label, pace ? "paced" : "unpaced", (timed.frames() - 1) / wall, wall, 100.0 * cpu / wall,
                100.0 * server / wall);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    int runs = 9;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::atoi(argv[++i]);
    }
    veltrane::testing::XvfbSession xvfb(veltrane::testing::XvfbOptions{1280, 1024, 24, false, {}});
    if (!xvfb.ok()) {
        std::fprintf(stderr, "could not start Xvfb\n");
        return 1;
    }
    const std::vector<pid_t> children = veltrane::testing::ChildrenOf(getpid());
    const pid_t xvfbPid = children.empty() ? 0 : children.front();
    setenv("DISPLAY", xvfb.name().c_str(), 1);
    Display* d = xvfb.display();
    std::printf("display %s, %dx%dx%d, host window 1280x1024\n", DisplayString(d), DisplayWidth(d, 0),
                DisplayHeight(d, 0), DefaultDepth(d, 0));

    {
        std::ifstream loadavg("/proc/loadavg");
        std::string load;
        std::getline(loadavg, load);
        std::printf("load average before: %s (%ld cores)\n", load.c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    }
    // The full screen size, and a small preview-like window where llvmpipe is fast
    // enough for the 60 per second ceiling to show.
    for (const auto& [width, height, label] : {std::tuple{1280, 1024, "1280x1024"}, std::tuple{320, 240, "320x240"}}) {
        const ::Window host = veltrane::testing::MakeHostWindow(d, 0, 0, width, height);
        MeasureLoop(host, xvfbPid, true, seconds, label);
        MeasureLoop(host, xvfbPid, false, seconds, label);
        XDestroyWindow(d, host);
        XSync(d, False);
    }

    // Spawn to first light at the window's centre; destroying the window ends the copy.
    std::vector<double> firstFrame;
    for (int i = 0; i <= runs; ++i) {
        const ::Window host = veltrane::testing::MakeHostWindow(d, 0, 0, 1280, 1024);
        const auto t0 = Clock::now();
        char id[32];
        std::snprintf(id, sizeof id, "0x%lx", host);
        const pid_t pid = xvfb.Start({kRenderer, "-window-id", id});
        double ms = -1;
        while (Clock::now() - t0 < 10s) {
            if (veltrane::testing::CentreLit(d, host, 1280, 1024)) {
                ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                break;
            }
            std::this_thread::sleep_for(1ms);
        }
        if (i > 0 && ms >= 0) firstFrame.push_back(ms);  // the first run only warms the caches
        XDestroyWindow(d, host);
        XSync(d, False);
        if (!veltrane::testing::WaitProcess(pid, 10s)) veltrane::testing::KillProcess(pid);
    }
    std::printf("spawn to first frame in the host window: median %.1f ms, min %.1f, max %.1f (%zu runs)\n",
                Median(firstFrame), firstFrame.empty() ? 0 : *std::min_element(firstFrame.begin(), firstFrame.end()),
                firstFrame.empty() ? 0 : *std::max_element(firstFrame.begin(), firstFrame.end()), firstFrame.size());
    return 0;
}
