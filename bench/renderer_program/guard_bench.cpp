// Figures for the renderer's display guard, on a private Xvfb 1280x1024x24 with
// a real 1024x768 mode: the guard's resident memory (RSS, and PSS from
// smaps_rollup, which shares the pages it has in common with the renderer) and
// the processor time it uses while the renderer runs full screen; then the time
// from SIGKILL of the renderer to the display being back in its previous mode
// (median of N runs), polled every millisecond. Prints figures, asserts nothing.
//
//   guard_bench [--seconds S] [--runs N]
// The test support first: it brings gtest in before Xlib and its macros.
#include "support/xvfb_session.h"
#include "support/randr_state.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using namespace veltrane::testing;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A "Name:   123 kB" line of a /proc file, in kB; -1 when missing.
long KbField(const std::string& path, const std::string& name) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
    }
    return -1;
}

// Starts the renderer and waits for its window and the switched mode; -1 on failure.
pid_t StartSwitchedRenderer(XvfbSession& s) {
    const pid_t pid = s.Start({kRenderer});
    const bool up = s.WaitForWindow("Lumora_VC", 20s) != 0 &&
                    WaitUntil([&] { return ReadScreenState(s.display()).width == 1024; }, 20s);
    if (up) return pid;
    KillProcess(pid);
    return -1;
}

pid_t GuardOf(pid_t renderer) {
    const std::vector<pid_t> children = ChildrenOf(renderer);
    return children.size() == 1 ? children[0] : -1;
}

void EndRenderer(pid_t pid) {
    kill(pid, SIGTERM);
    if (!WaitProcess(pid, 20s)) KillProcess(pid);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 5, runs = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    }
    XvfbSession s({1280, 1024, 24, false, {}});
    if (!s.ok() || !AddRealMode1024x768(s.display())) {
        std::fprintf(stderr, "guard_bench: no private Xvfb with a 1024x768 mode\n");
        return 1;
    }
    const ScreenState original = ReadScreenState(s.display());

    // The guard's cost while the renderer draws.
    const pid_t renderer = StartSwitchedRenderer(s);
    const pid_t guard = renderer > 0 ? GuardOf(renderer) : -1;
    if (guard < 0) {
        std::fprintf(stderr, "guard_bench: no renderer with its guard\n");
        if (renderer > 0) EndRenderer(renderer);
        return 1;
    }
    const double guardCpu0 = CpuSecondsOf(guard), rendererCpu0 = CpuSecondsOf(renderer);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double guardCpu = CpuSecondsOf(guard) - guardCpu0, rendererCpu = CpuSecondsOf(renderer) - rendererCpu0;
    const std::string proc = "/proc/" + std::to_string(guard);
    std::printf("guard while the renderer runs %d s full screen:\n", seconds);
    std::printf("  RSS %ld kB, PSS %ld kB (renderer: RSS %ld kB)\n", KbField(proc + "/status", "VmRSS"),
                KbField(proc + "/smaps_rollup", "Pss"),
                KbField("/proc/" + std::to_string(renderer) + "/status", "VmRSS"));
    std::printf("  CPU %.3f s (renderer: %.2f s), threads %ld\n", guardCpu, rendererCpu,
                KbField(proc + "/status", "Threads"));
    EndRenderer(renderer);

    // SIGKILL of the renderer to the display given back.
    std::vector<double> restoreMs;
    int failed = 0;
    for (int run = 0; run < runs; ++run) {
        const pid_t pid = StartSwitchedRenderer(s);
        if (pid < 0) {
            ++failed;
            continue;
        }
        const auto killed = Clock::now();
        kill(pid, SIGKILL);
        const bool back =
            WaitUntil([&] { return ReadScreenState(s.display()) == original; }, 10s, std::chrono::milliseconds(1));
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - killed).count();
        WaitProcess(pid, 10s);
        if (back) restoreMs.push_back(ms);
        else ++failed;
        // A run that failed leaves the record for the next renderer to give back.
    }
    if (!restoreMs.empty()) {
        std::printf("SIGKILL to display restored, %zu runs: median %.1f ms, min %.1f ms, max %.1f ms\n",
                    restoreMs.size(), Median(restoreMs), *std::min_element(restoreMs.begin(), restoreMs.end()),
                    *std::max_element(restoreMs.begin(), restoreMs.end()));
    }
    if (failed > 0) std::printf("  %d runs did not restore within 10 s or did not start\n", failed);
    return 0;
}
