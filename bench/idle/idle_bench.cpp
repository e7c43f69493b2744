// Figures for veltrane-idle on private sessions (Xvfb, headless sway, KWin and
// gnome-shell): its resident memory, processor time and wake-ups (context
// switches) over S seconds of an idle session with no saver started, and the
// time from the idle time-out to the output covered (median of N runs).
// Prints figures, asserts nothing.
//
//   idle_bench [--seconds S] [--runs N] [--session x11|sway|kwin|gnome|all]
#include "support/gnome_session.h"
#include "support/xvfb_session.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using namespace veltrane::testing;

const std::string kBin = VELTRANE_BIN_DIR;

// A "Name:   123" line of /proc/<pid>/status; -1 when missing.
long StatusField(pid_t pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
  return -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

// One kind of session: how to start a program in it, and whether its output is
// covered by the saver.
struct Session {
  std::function<pid_t(const std::vector<std::string>&, const std::string& log)> start;
  std::function<bool()> covered;
  // One key tap (Shift), which starts a fresh idle period; returns once it is in.
  std::function<void()> tap;
  std::string launcher;  // the launcher's path, beside the shell and renderer
};

bool MakeX11(std::shared_ptr<void>& keep, Session& s) {
  auto x = std::make_shared<XvfbSession>();
  if (!x->ok()) return false;
  keep = x;
  s.launcher = kBin + "/veltrane-idle";
  s.start = [x](const std::vector<std::string>& argv, const std::string& log) {
    return StartProcess(argv, x->env(), log);
  };
  s.covered = [x] {
    const ::Window w = x->FindWindow("Lumora_VC");
    return w != 0 && x->Info(w).viewable;
  };
  s.tap = [x] {
    x->Key("Shift_L", true);
    x->Key("Shift_L", false);
    x->Sync();
  };
  return true;
}

template <typename WaylandKind>
bool MakeWayland(std::shared_ptr<void>& keep, Session& s, WaylandKind* session, std::function<void()> tap) {
  std::shared_ptr<WaylandKind> w(session);
  if (!w->ok()) {
    std::fprintf(stderr, "the session did not start: %s\n", w->why().c_str());
    return false;
  }
  keep = w;
  w->Stage(kBin + "/Veltrane.dll");
  w->Stage(kBin + "/Veltrane.scr");
  s.launcher = w->Stage(kBin + "/veltrane-idle");
  s.start = [w](const std::vector<std::string>& argv, const std::string& log) { return w->Start(argv, {}, log); };
  s.covered = [w] { return Covered(w->Capture(w->outputNames().front())); };
  s.tap = std::move(tap);
  return true;
}

bool MakeSession(const std::string& kind, std::shared_ptr<void>& keep, Session& s) {
  if (kind == "x11") return MakeX11(keep, s);
  if (kind == "sway") {
    SwaySession* w = new SwaySession();
    return MakeWayland(keep, s, w, [w] { w->Run({"wtype", "-k", "Shift_L"}); });
  }
  if (kind == "kwin") {
    KWinSession* w = new KWinSession();
    return MakeWayland(keep, s, w, [w] { w->TapKey(42); });  // Shift_L
  }
  GnomeSession* g = new GnomeSession(GnomeOptions{1, 1024, 768, true});
  if (g->ok()) {
    // The overview gnome-shell opens at start would hide the desktop.
    g->Eval("Main.overview.hide()");
    WaitUntil([&] { return !g->OverviewVisible(); }, 30s, 100ms);
  }
  return MakeWayland(keep, s, g, [g] { g->Key("Shift_L", 0ms); });
}

std::string LogPath(const std::string& kind) {
  return MakeTempDir("idle-bench-" + kind) + "/launcher.out";
}

// Waits for the launcher's start line; the clock is armed just before it.
bool WaitForStartLine(const std::string& log) {
  return WaitUntil([&] { return ReadFile(log).find("idle clock:") != std::string::npos; }, 30s, 1ms);
}

void IdleFigures(const std::string& kind, int seconds) {
  std::shared_ptr<void> keep;
  Session s;
  if (!MakeSession(kind, keep, s)) return;
  const std::string log = LogPath(kind);
  // A time-out past the measured span: no saver starts.
  const pid_t launcher = s.start({s.launcher, "--timeout", std::to_string(seconds + 600)}, log);
  if (!WaitForStartLine(log)) {
    std::printf("%-6s the launcher did not start: %s\n", kind.c_str(), ReadFile(log).c_str());
    KillProcess(launcher);
    return;
  }
  const double cpu0 = CpuSecondsOf(launcher);
  const long switches0 = StatusField(launcher, "voluntary_ctxt_switches");
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = CpuSecondsOf(launcher) - cpu0;
  const long switches = StatusField(launcher, "voluntary_ctxt_switches") - switches0;
  std::printf("%-6s idle %d s: RSS %ld kB, CPU %.3f s, %ld wake-ups (voluntary context switches); %s",
              kind.c_str(), seconds, StatusField(launcher, "VmRSS"), cpu, switches,
              ReadFile(log).c_str());
  std::fflush(stdout);
  kill(launcher, SIGTERM);
  if (!WaitProcess(launcher, 10s)) KillProcess(launcher);
}

void LatencyFigures(const std::string& kind, int runs) {
  std::shared_ptr<void> keep;
  Session s;
  if (!MakeSession(kind, keep, s)) return;
  constexpr int kTimeout = 3;
  std::vector<double> toSpawn, toCovered;
  for (int run = 0; run < runs; ++run) {
    const std::string log = LogPath(kind);
    // GNOME's and X's clocks count from the last input, the compositor's
    // notifications from their creation or the last input: a key before the
    // start keeps a long-idle session from firing at once, and the idle period
    // measured starts with a key after it.
    s.tap();
    const pid_t launcher = s.start({s.launcher, "--timeout", std::to_string(kTimeout)}, log);
    if (!WaitForStartLine(log)) {
      KillProcess(launcher);
      continue;
    }
    s.tap();
    const Clock::time_point due = Clock::now() + std::chrono::seconds(kTimeout);
    Clock::time_point spawned{}, covered{};
    WaitUntil([&] { return !ChildrenOf(launcher).empty() && (spawned = Clock::now(), true); }, 60s, 1ms);
    if (WaitUntil([&] { return s.covered() && (covered = Clock::now(), true); }, 60s, 1ms)) {
      toSpawn.push_back(std::chrono::duration<double, std::milli>(spawned - due).count());
      toCovered.push_back(std::chrono::duration<double, std::milli>(covered - due).count());
    }
    kill(launcher, SIGTERM);
    if (!WaitProcess(launcher, 20s)) KillProcess(launcher);
    // The next run starts from a session with no saver on it.
    WaitUntil([&] { return !s.covered(); }, 20s, 10ms);
  }
  std::printf("%-6s time-out -> saver started: median %.0f ms; -> output covered: median %.0f ms (%zu of %d runs)\n",
              kind.c_str(), Median(toSpawn), Median(toCovered), toCovered.size(), runs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 600, runs = 3;
  std::string which = "all";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--seconds") seconds = std::max(1, std::atoi(argv[i + 1]));
    else if (arg == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    else if (arg == "--session") which = argv[i + 1];
  }
  std::vector<std::string> kinds = {"x11", "sway", "kwin", "gnome"};
  if (which != "all") kinds = {which};
  for (const std::string& kind : kinds) LatencyFigures(kind, runs);
  for (const std::string& kind : kinds) IdleFigures(kind, seconds);
  return 0;
}
