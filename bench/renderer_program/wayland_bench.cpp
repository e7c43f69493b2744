// Figures for Veltrane.dll's full-screen run on Wayland (assert nothing):
//   - start to first frame on a private headless sway, against the X11 path on a
//     private Xvfb of the same size, started in turns in one run (medians);
//   - the renderer's CPU share and frame rate at 1600x900 on sway, where frames
//     are paced by the compositor's frame callbacks;
//   - sway's own CPU per presented frame and the frame rate at 1024x768 and on a
//     1920x1080 output the 1024x768 picture is scaled to;
//   - the time from SIGTERM to the renderer's end while its compositor is stopped.
// The first frame is the return of the first buffer swap (eglSwapBuffers or
// glXSwapBuffers), seen by a preloaded probe (swap_probe.c) in both runs.
//
//   wayland_bench [--runs N] [--seconds S] [--other PATH]
//     N starts per window system (default 9); S seconds of CPU sampling (default 10);
//     PATH another build's Veltrane.dll (an earlier commit, say), measured in the
//     same sessions in turns with this build's for the last two figures.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/wayland_session.h"
#include "support/xvfb_session.h"

namespace {

using namespace std::chrono_literals;
using veltrane::testing::CpuSecondsOf;
using veltrane::testing::KillProcess;
using veltrane::testing::WaitProcess;
using veltrane::testing::WaitUntil;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";
const std::string kProbe = VELTRANE_SWAP_PROBE_PATH;

struct ProbeReading {
    unsigned long long firstNs = 0, swaps = 0;
};

std::optional<ProbeReading> ReadProbe(const std::string& path) {
    std::ifstream in(path);
    ProbeReading r;
    if (!(in >> r.firstNs >> r.swaps) || r.swaps == 0) return std::nullopt;
    return r;
}

unsigned long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long long>(now.tv_sec) * 1000000000ull + static_cast<unsigned long long>(now.tv_nsec);
}

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Starts the renderer through `start`, waits for its first swap and ends it with
// SIGTERM; milliseconds from the start to the first swap, -1 when none came.
template <typename Start>
double TimeFirstFrame(const std::string& probe, Start start) {
    std::remove(probe.c_str());
    const unsigned long long t0 = MonotonicNs();
    const pid_t pid = start();
    std::optional<ProbeReading> reading;
    WaitUntil([&] { return (reading = ReadProbe(probe)).has_value(); }, 20s, 2ms);
    kill(pid, SIGTERM);
    if (!WaitProcess(pid, 5s)) KillProcess(pid);
    return reading ? static_cast<double>(reading->firstNs - t0) / 1e6 : -1;
}

void StartUpFigures(int runs) {
    constexpr int kWidth = 1024, kHeight = 768;
    veltrane::testing::SwaySession sway({1, kWidth, kHeight});
    veltrane::testing::XvfbOptions xOptions;
    xOptions.width = kWidth;
    xOptions.height = kHeight;
    veltrane::testing::XvfbSession xvfb(xOptions);
    if (!sway.ok() || !xvfb.ok()) {
        std::printf("start-up: could not start sway (%s) or Xvfb\n", sway.why().c_str());
        return;
    }
    const std::string renderer = sway.Stage(kRenderer);
    const std::string probe = sway.Stage(kProbe);
    const std::string wlFile = sway.PathFor("probe-wayland");
    const std::string xFile = sway.PathFor("probe-x11");
    std::vector<double> wayland, x11;
    for (int i = 0; i < runs; ++i) {
        const double w = TimeFirstFrame(wlFile, [&] {
            return sway.Start({renderer}, {"LD_PRELOAD=" + probe, "VELTRANE_SWAP_PROBE=" + wlFile});
        });
        const double x = TimeFirstFrame(xFile, [&] {
            return xvfb.Start({kRenderer},
                              {"LD_PRELOAD=" + kProbe, "VELTRANE_SWAP_PROBE=" + xFile, "VELTRANE_BACKEND=x11"});
        });
        if (w >= 0) wayland.push_back(w);
        if (x >= 0) x11.push_back(x);
    }
    std::printf("start to first frame at %dx%d, %d runs each, in turns (median, min..max ms):\n", kWidth, kHeight,
                runs);
    auto line = [](const char* label, const std::vector<double>& v) {
        if (v.empty()) {
            std::printf("  %-26s no frame\n", label);
            return;
        }
        std::printf("  %-26s %7.1f  (%.1f..%.1f, %zu frames seen)\n", label, Median(v),
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), v.size());
    };
    line("Wayland (headless sway)", wayland);
    line("X11 (Xvfb)", x11);
    if (!wayland.empty() && !x11.empty()) std::printf("  ratio Wayland / X11: %.2f\n", Median(wayland) / Median(x11));
}

void CpuFigures(int seconds) {
    constexpr int kWidth = 1600, kHeight = 900;
    veltrane::testing::SwaySession sway({1, kWidth, kHeight});
    if (!sway.ok()) {
        std::printf("CPU: could not start sway: %s\n", sway.why().c_str());
        return;
    }
    const std::string renderer = sway.Stage(kRenderer);
    const std::string probe = sway.Stage(kProbe);
    const std::string file = sway.PathFor("probe-cpu");
    const pid_t pid = sway.Start({renderer}, {"LD_PRELOAD=" + probe, "VELTRANE_SWAP_PROBE=" + file});
    std::optional<ProbeReading> reading;
    if (!WaitUntil([&] { return (reading = ReadProbe(file)).has_value(); }, 20s, 5ms)) {
        std::printf("CPU: no frame came\n");
        KillProcess(pid);
        return;
    }
    std::this_thread::sleep_for(2s);  // past the start-up
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = CpuSecondsOf(pid);
    const unsigned long long swaps0 = ReadProbe(file).value_or(ProbeReading{}).swaps;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu1 = CpuSecondsOf(pid);
    const unsigned long long swaps1 = ReadProbe(file).value_or(ProbeReading{}).swaps;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    kill(pid, SIGTERM);
    const std::optional<veltrane::testing::ExitStatus> status = WaitProcess(pid, 5s);
    if (!status) KillProcess(pid);
    std::printf("full screen at %dx%d on headless sway (60 Hz), over %.1f s:\n", kWidth, kHeight, elapsed);
    std::printf("  CPU share of one core      %5.1f %%\n", 100.0 * (cpu1 - cpu0) / elapsed);
    const double frames = static_cast<double>(swaps1 - swaps0);
    std::printf("  frames presented           %5.1f per second\n", frames / elapsed);
    // The machine's load slows the frame rate; the cost of a frame moves less.
    if (frames > 0) std::printf("  CPU per presented frame    %5.1f ms\n", 1000.0 * (cpu1 - cpu0) / frames);
    std::printf("  exit after SIGTERM         %s\n",
                status && status->exited ? std::to_string(status->code).c_str() : "none (killed)");
}

struct Build {
    const char* label;
    std::string path;
};

// sway's and the renderer's CPU over `seconds` of a running renderer, per
// presented frame, on one output of `width` x `height`, for each build in turn.
void CompositorCostFigures(int width, int height, int seconds, const std::vector<Build>& builds) {
    veltrane::testing::SwaySession sway({1, width, height});
    if (!sway.ok()) {
        std::printf("compositor cost: could not start sway: %s\n", sway.why().c_str());
        return;
    }
    std::printf("sway at %dx%d (the picture is drawn at 1024x768), over %d s each:\n", width, height, seconds);
    const std::string probe = sway.Stage(kProbe);
    for (const Build& build : builds) {
        const std::string renderer = sway.Stage(build.path, "renderer-" + std::to_string(&build - builds.data()));
        const std::string file = sway.PathFor("probe-cost-" + std::to_string(&build - builds.data()));
        const pid_t pid = sway.Start({renderer}, {"LD_PRELOAD=" + probe, "VELTRANE_SWAP_PROBE=" + file});
        if (!WaitUntil([&] { return ReadProbe(file).has_value(); }, 20s, 5ms)) {
            std::printf("  %-12s no frame came\n", build.label);
            KillProcess(pid);
            continue;
        }
        std::this_thread::sleep_for(2s);  // past the start-up
        const auto t0 = std::chrono::steady_clock::now();
        const double sway0 = CpuSecondsOf(sway.compositor()), own0 = CpuSecondsOf(pid);
        const unsigned long long swaps0 = ReadProbe(file).value_or(ProbeReading{}).swaps;
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double sway1 = CpuSecondsOf(sway.compositor()), own1 = CpuSecondsOf(pid);
        const unsigned long long swaps1 = ReadProbe(file).value_or(ProbeReading{}).swaps;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        kill(pid, SIGTERM);
        if (!WaitProcess(pid, 5s)) KillProcess(pid);
        const double frames = static_cast<double>(swaps1 - swaps0);
        if (frames <= 0) continue;
        std::printf("  %-12s sway %5.2f ms/frame   renderer %5.2f ms/frame   %5.1f frames/s\n", build.label,
                    1000.0 * (sway1 - sway0) / frames, 1000.0 * (own1 - own0) / frames, frames / elapsed);
    }
}

// From SIGTERM to the renderer's end while sway is stopped (SIGSTOP), `runs`
// times per build; a renderer still running after 5 s counts as 5 s and is left
// to end once sway continues.
void StoppedCompositorFigures(int runs, const std::vector<Build>& builds) {
    veltrane::testing::SwaySession sway({1, 1024, 768});
    if (!sway.ok()) {
        std::printf("stopped compositor: could not start sway: %s\n", sway.why().c_str());
        return;
    }
    std::printf("SIGTERM to exit with sway stopped, %d runs each (median, max ms; runs over 5 s):\n", runs);
    const std::string probe = sway.Stage(kProbe);
    for (const Build& build : builds) {
        const std::string renderer = sway.Stage(build.path, "renderer-" + std::to_string(&build - builds.data()));
        const std::string file = sway.PathFor("probe-stop-" + std::to_string(&build - builds.data()));
        std::vector<double> ms;
        int hung = 0;
        for (int i = 0; i < runs; ++i) {
            std::remove(file.c_str());
            const pid_t pid = sway.Start({renderer}, {"LD_PRELOAD=" + probe, "VELTRANE_SWAP_PROBE=" + file});
            WaitUntil([&] { return ReadProbe(file).has_value(); }, 20s, 5ms);
            kill(sway.compositor(), SIGSTOP);
            const unsigned long long t0 = MonotonicNs();
            kill(pid, SIGTERM);
            const bool ended = WaitProcess(pid, 5s).has_value();
            ms.push_back(static_cast<double>(MonotonicNs() - t0) / 1e6);
            kill(sway.compositor(), SIGCONT);
            if (!ended) {
                ++hung;
                if (!WaitProcess(pid, 10s)) KillProcess(pid);
            }
        }
        std::printf("  %-12s %8.1f  %8.1f  %d of %d\n", build.label, Median(ms), *std::max_element(ms.begin(), ms.end()),
                    hung, runs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 9, seconds = 10;
    std::vector<Build> builds;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--other") == 0) builds.push_back({"other", argv[i + 1]});
    }
    builds.push_back({"this build", kRenderer});
    StartUpFigures(runs);
    CpuFigures(seconds);
    CompositorCostFigures(1024, 768, seconds, builds);
    CompositorCostFigures(1920, 1080, seconds, builds);
    StoppedCompositorFigures(std::max(runs, 10), builds);
    return 0;
}
