// Start-up against its floor, on one private Xvfb 1024x768x16 (a second round
// with openbox): from starting a program to the MapNotify of its window.
//   - the bare GLX program (bare_glx.c) and Veltrane.dll, started in turns;
//   - Veltrane.scr /s (to the renderer's window) and Veltrane.dll alone, in turns.
// Absolute times vary with the machine's load; the ratio within one round holds.
//
//   startup_bench [--runs N] [--bin DIR]
//     N runs per program and round (default 15); DIR holds the programs to
//     measure (default: this build's), e.g. an older build to compare with.
#include "support/xvfb_session.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xutil.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using veltrane::testing::XvfbSession;

// The programs measured: this build's, or another build's (--bin) to compare.
std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";
std::string kScr = std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr";

struct Program {
  const char* label;
  std::vector<std::string> argv;
  const char* title;  // of the window whose mapping ends the timing
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Starts the program and waits for the MapNotify of its titled window. Top-level
// windows report their mapping to the root; a window manager maps the client
// inside its frame, so every new top-level window is also watched itself.
// Returns -1 when the window did not come within 10 s. Ends the program after.
double TimeOneStart(XvfbSession& s, const Program& p) {
  Display* d = s.display();
  const Window root = DefaultRootWindow(d);
  XSelectInput(d, root, SubstructureNotifyMask);
  XSync(d, True);
  const auto t0 = Clock::now();
  const pid_t pid = s.Start(p.argv);
  Window window = 0;
  double mapped = -1;
  while (window == 0 && Clock::now() - t0 < 10s) {
    while (window == 0 && XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == CreateNotify && e.xcreatewindow.parent == root) {
        const Window created = e.xcreatewindow.window;
        XSelectInput(d, created, StructureNotifyMask);
        // Mapped before the selection took effect (this process was not scheduled
        // in time): count it as mapped now rather than miss it.
        XWindowAttributes a{};
        if (XGetWindowAttributes(d, created, &a) && a.map_state != IsUnmapped && veltrane::testing::TitleIs(d, created, p.title)) {
          mapped = Ms(Clock::now() - t0);
          window = created;
        }
      } else if (e.type == MapNotify && veltrane::testing::TitleIs(d, e.xmap.window, p.title)) {
        mapped = Ms(Clock::now() - t0);
        window = e.xmap.window;
      }
    }
    if (window == 0) {
      pollfd fd{ConnectionNumber(d), POLLIN, 0};
      poll(&fd, 1, 100);
    }
  }
  XSelectInput(d, root, NoEventMask);
  if (window != 0) {
    // Let the window settle before the close, so the next start is not measured
    // against this one's ending.
    std::this_thread::sleep_for(200ms);
    veltrane::testing::SendWmClose(d, window);
  }
  // The renderer's window going ends the shell at its next tick (within 500 ms).
  if (!veltrane::testing::WaitProcess(pid, 3s)) {
    kill(-pid, SIGKILL);
    veltrane::testing::KillProcess(pid);
  }
  XSync(d, True);
  return mapped;
}

struct Figures {
  std::vector<double> times;
  int failed = 0;
  double median() const { return Median(times); }
};

// Starts the programs in turns (a, b, a, b, ...) after one unmeasured start of
// each, which fills the file cache.
void Round(const char* title, bool manager, const Program& a, const Program& b, int runs, double allowance,
           bool ratio) {
  XvfbSession s({1024, 768, 16, manager, {}});
  if (!s.ok()) {
    std::printf("%s: could not start Xvfb\n", title);
    return;
  }
  TimeOneStart(s, a);
  TimeOneStart(s, b);
  Figures fa, fb;
  for (int i = 0; i < runs; ++i) {
    for (auto [p, f] : {std::pair{&a, &fa}, std::pair{&b, &fb}}) {
      const double t = TimeOneStart(s, *p);
      if (t >= 0) f->times.push_back(t);
      else ++f->failed;
    }
  }
  auto line = [&](const Program& p, const Figures& f) {
    std::printf("  %-26s median %6.1f ms  min %6.1f  max %6.1f  (%zu runs%s)\n", p.label, f.median(),
                f.times.empty() ? 0 : *std::min_element(f.times.begin(), f.times.end()),
                f.times.empty() ? 0 : *std::max_element(f.times.begin(), f.times.end()), f.times.size(),
                f.failed ? ", some without a window" : "");
  };
  std::printf("%s, %s (start -> MapNotify of the window):\n", title,
              manager ? "with openbox" : "without a window manager");
  line(a, fa);
  line(b, fb);
  // The fastest runs are the least disturbed by other load on the machine.
  const double minA = fa.times.empty() ? 0 : *std::min_element(fa.times.begin(), fa.times.end());
  const double minB = fb.times.empty() ? 0 : *std::min_element(fb.times.begin(), fb.times.end());
  if (ratio) {
    std::printf("  ratio %s / %s: %.2f (target <= %.2f); of the fastest runs: %.2f\n", b.label, a.label,
                fa.median() > 0 ? fb.median() / fa.median() : 0.0, allowance, minA > 0 ? minB / minA : 0.0);
  } else {
    std::printf("  difference %s - %s: %.1f ms (target <= %.0f ms); of the fastest runs: %.1f ms\n", b.label,
                a.label, fb.median() - fa.median(), allowance, minB - minA);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 15;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--bin") && i + 1 < argc) {
      kRenderer = std::string(argv[++i]) + "/Veltrane.dll";
      kScr = std::string(argv[i]) + "/Veltrane.scr";
    }
  }
  const Program bare{"bare GLX program", {BARE_GLX}, "bare_glx"};
  const Program renderer{"Veltrane.dll", {kRenderer}, "Lumora_VC"};
  const Program saver{"Veltrane.scr /s", {kScr, "/s"}, "Lumora_VC"};
  for (bool manager : {false, true}) Round("renderer against the bare GLX program", manager, bare, renderer, runs, 1.3, true);
  if (access(kScr.c_str(), X_OK) == 0) {
    for (bool manager : {false, true})
      Round("Veltrane.scr /s to the renderer's window against the renderer alone", manager, renderer, saver, runs,
            120, false);
  } else {
    std::printf("%s is not built; the shell's rounds are skipped\n", kScr.c_str());
  }
  return 0;
}
