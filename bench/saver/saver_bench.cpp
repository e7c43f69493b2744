// Veltrane.scr figures, each on a private Xvfb:
//   - from starting `Veltrane.scr /s` to the renderer's window being mapped
//     (and to the cover being mapped), median over several runs;
//   - the shell's CPU share while it supervises a running renderer;
//   - the shell's peak resident memory in each mode (ru_maxrss when it is reaped).
// Usage: saver_bench [runs]   (default 9)
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/xvfb_session.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using veltrane::testing::ChildrenOf;
using veltrane::testing::XvfbSession;

const std::string kScr = std::string(VELTRANE_BIN_DIR) + "/Veltrane.scr";
const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Polls faster than the test helper so the figure is not rounded up to its period.
bool WaitMapped(XvfbSession& s, const std::string& title, std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (s.FindWindow(title)) return true;
    std::this_thread::sleep_for(2ms);
  }
  return false;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::string Folder(const std::string& rendererScript) {
  std::string dir = veltrane::testing::MakeTempDir("bench");
  std::filesystem::copy_file(kScr, dir + "/Veltrane.scr");
  chmod((dir + "/Veltrane.scr").c_str(), 0755);
  if (!rendererScript.empty()) {
    std::ofstream(dir + "/Veltrane.dll") << rendererScript;
    chmod((dir + "/Veltrane.dll").c_str(), 0755);
  }
  return dir;
}

void EndShellAndRenderer(XvfbSession& s, pid_t shell) {
  s.TapKey("Escape", 300ms);
  if (!veltrane::testing::WaitProcess(shell, 5s)) veltrane::testing::KillProcess(shell);
  s.WaitForWindowGone("Lumora_VC", 5s);
}

void StartUp(int runs, bool manager) {
  XvfbSession s({1024, 768, 24, manager});
  if (!s.ok()) return void(std::puts("no Xvfb"));
  std::vector<double> toCover, toRenderer;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    pid_t shell = s.Start({kScr, "/s"});
    bool cover = WaitMapped(s, "Lumora_Main", 10s);
    auto t1 = Clock::now();
    bool renderer = WaitMapped(s, "Lumora_VC", 10s);
    auto t2 = Clock::now();
    if (cover) toCover.push_back(Ms(t1 - t0));
    if (renderer) toRenderer.push_back(Ms(t2 - t0));
    std::this_thread::sleep_for(300ms);
    EndShellAndRenderer(s, shell);
  }
  std::printf("start-up %s: /s to cover mapped median %.0f ms; to renderer window mapped median %.0f ms "
              "(min %.0f, max %.0f, %zu of %d runs)\n",
              manager ? "with a window manager" : "without a window manager", Median(toCover),
              Median(toRenderer), toRenderer.empty() ? 0 : *std::min_element(toRenderer.begin(), toRenderer.end()),
              toRenderer.empty() ? 0 : *std::max_element(toRenderer.begin(), toRenderer.end()), toRenderer.size(),
              runs);
}

void StopWithRenderer(pid_t shell) {
  std::vector<pid_t> children = ChildrenOf(shell);
  veltrane::testing::KillProcess(shell);
  for (pid_t child : children) kill(child, SIGKILL);
}

void SupervisionCpu(const std::string& label, const std::vector<std::string>& argv, std::chrono::seconds span) {
  XvfbSession s({1024, 768, 24, false});
  if (!s.ok()) return;
  pid_t shell = s.Start(argv);
  if (!WaitMapped(s, "Lumora_VC", 10s)) {
    std::printf("%s: the renderer window did not appear\n", label.c_str());
    veltrane::testing::KillProcess(shell);
    return;
  }
  std::this_thread::sleep_for(1s);
  const double before = veltrane::testing::CpuSecondsOf(shell);
  auto t0 = Clock::now();
  std::this_thread::sleep_for(span);
  const double after = veltrane::testing::CpuSecondsOf(shell);
  double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("shell CPU while supervising (%s): %.2f %% of one core over %.0f s (%.2f s of CPU)\n", label.c_str(),
              100.0 * (after - before) / seconds, seconds, after - before);
  StopWithRenderer(shell);
}

// The peak resident set of the whole run, as the kernel reports it when the
// process is reaped (a process that ends by itself is measured the same way).
void Peak(const std::string& mode, const std::vector<std::string>& argv, const std::string& waitFor,
          XvfbSession& s) {
  pid_t pid = s.Start(argv);
  bool up = waitFor.empty() || WaitMapped(s, waitFor, 10s);
  std::this_thread::sleep_for(1500ms);
  std::vector<pid_t> children = ChildrenOf(pid);
  kill(pid, SIGKILL);
  int status = 0;
  rusage usage{};
  long kb = wait4(pid, &status, 0, &usage) == pid ? usage.ru_maxrss : -1;
  for (pid_t child : children) kill(child, SIGKILL);
  std::printf("peak resident memory, %-40s %s%ld KiB (%.1f MiB)\n", (mode + ":").c_str(),
              up ? "" : "(window not seen) ", kb, kb / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  bool haveRenderer = access(kRenderer.c_str(), X_OK) == 0;
  if (haveRenderer) {
    StartUp(runs, false);
    StartUp(runs, true);
  } else {
    std::printf("start-up: %s is not built; skipped\n", kRenderer.c_str());
  }

  std::string standIn = Folder("#!/bin/sh\nexec xmessage -geometry 150x40+860+720 -title Lumora_VC stand-in\n");
  SupervisionCpu("stand-in renderer, idle machine", {standIn + "/Veltrane.scr", "/s"}, 20s);
  if (haveRenderer) SupervisionCpu("real renderer drawing", {kScr, "/s"}, 20s);

  XvfbSession s({1024, 768, 24, false});
  if (!s.ok()) return 1;
  Peak("saver (/s, stand-in renderer)", {standIn + "/Veltrane.scr", "/s"}, "Lumora_Main", s);
  ::Display* d = s.display();
  ::Window host = XCreateSimpleWindow(d, DefaultRootWindow(d), 100, 100, 152, 112, 0, 0, 0);
  XMapWindow(d, host);
  XSync(d, False);
  Peak("preview (/p, 152x112 host)", {kScr, "/p", std::to_string(host)}, "Preview Window", s);
  Peak("configuration (/c, dialog animating)", {kScr, "/c"}, "<Veltrane>", s);
  std::string missing = Folder("");
  Peak("renderer missing (message box)", {missing + "/Veltrane.scr", "/s"}, "Veltrane(ScreenSaver)", s);
  Peak("preview without a usable handle", {missing + "/Veltrane.scr", "/p", "0"}, "", s);
  return 0;
}
