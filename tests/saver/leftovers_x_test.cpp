// Veltrane.scr leaves nothing behind where no session bus runs: in every mode it
// starts no dbus-launch or dbus-daemon, and once it has ended the root holds no
// window it did not hold before.
#include "shell_test_support.h"

#include <algorithm>
#include <functional>

namespace veltrane {
namespace {

using namespace shelltest;

// The bus launcher and daemons that run with this session's private home: libdbus
// hands the program's environment on to dbus-launch, and it to dbus-daemon.
std::vector<pid_t> BusProcessesOf(const XvfbSession& s) {
  std::vector<pid_t> found;
  const std::string home = "HOME=" + s.home();
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string comm;
    std::getline(std::ifstream(entry.path() / "comm"), comm);
    if (comm != "dbus-launch" && comm != "dbus-daemon") continue;
    std::ifstream environ(entry.path() / "environ");
    for (std::string var; std::getline(environ, var, '\0');)
      if (var == home) found.push_back(std::stoi(name));
  }
  return found;
}

std::vector<::Window> RootChildren(XvfbSession& s) {
  ::Display* d = s.display();
  ::Window root, parent, *kids = nullptr;
  unsigned n = 0;
  std::vector<::Window> out;
  XSync(d, False);
  if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n) && kids) {
    out.assign(kids, kids + n);
    XFree(kids);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Waits until the root's children are `expected` again: the windows of a client
// that has just gone are destroyed once the server has seen it go.
std::vector<::Window> WaitForRootChildren(XvfbSession& s, const std::vector<::Window>& expected) {
  std::vector<::Window> now;
  testing::WaitUntil([&] { return (now = RootChildren(s)) == expected; }, 10s, 20ms);
  return now;
}

struct Mode {
  const char* name;
  // Starts the shell in this mode, waits until it is up and makes it end the way
  // it ends in use; returns its pid.
  std::function<pid_t(XvfbSession&)> run;
};

const Mode kModes[] = {
    {"Saver",
     [](XvfbSession& s) {
       ShellFolder folder("leftovers-saver");
       // The stand-in notes the bus address it was given: the shell's environment as
       // it was started, with no address set.
       const std::string busFile = folder.dir + "/bus.txt";
       folder.SetRenderer("#!/bin/sh\necho \"${DBUS_SESSION_BUS_ADDRESS-unset}\" > '" + busFile +
                          "'\necho $$ > '" + folder.pidFile() +
                          "'\nexec xmessage -geometry 150x40+860+720 -title Lumora_VC stand-in\n");
       Bridge bridge(s);
       pid_t shell = s.Start({folder.scr(), "/s"}, {"DBUS_SESSION_BUS_ADDRESS="});
       EXPECT_NE(s.WaitForWindow("Lumora_Main", 20s), 0u);
       EXPECT_NE(s.WaitForWindow("Lumora_VC", 20s), 0u);
       bridge.Close();
       if (pid_t standIn = folder.RendererPid(10s)) kill(standIn, SIGTERM);  // the renderer ends
       std::string bus;
       std::getline(std::ifstream(busFile), bus);
       EXPECT_EQ(bus, "unset") << "the renderer gets the environment the shell was started with";
       return shell;
     }},
    {"Preview",
     [](XvfbSession& s) {
       ::Window host = MakeWindow(s, "host", 100, 80, 152, 112);
       pid_t shell = s.Start({kScr, "/p", std::to_string(host)}, {"DBUS_SESSION_BUS_ADDRESS="});
       EXPECT_NE(WaitForChild(s, host, "Preview Window", 20s), 0u);
       XDestroyWindow(s.display(), host);  // the host goes, and the preview with it
       XSync(s.display(), False);
       return shell;
     }},
    {"Configuration",
     [](XvfbSession& s) {
       ShellFolder folder("leftovers-dialog");
       folder.SetRenderer("stand-in renderer\n");
       pid_t shell = s.Start({folder.scr(), "/c"}, {"DBUS_SESSION_BUS_ADDRESS="});
       ::Window dialog = s.WaitForWindow("<Veltrane>", 20s);
       EXPECT_NE(dialog, 0u);
       if (dialog) s.SendClose(dialog);
       return shell;
     }},
};

void PrintTo(const Mode& m, std::ostream* os) { *os << m.name; }

class NothingLeftBehind : public ::testing::TestWithParam<Mode> {};
INSTANTIATE_TEST_SUITE_P(Shell, NothingLeftBehind, ::testing::ValuesIn(kModes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(NothingLeftBehind, WithoutASessionBus) {
  XvfbSession s;
  VELTRANE_REQUIRE_XVFB(s);
  const std::vector<::Window> before = RootChildren(s);
  const pid_t shell = GetParam().run(s);
  ExpectEndsWithCodeZero(shell, 20s, GetParam().name);
  const std::vector<pid_t> bus = BusProcessesOf(s);
  const std::vector<::Window> after = WaitForRootChildren(s, before);
  for (pid_t p : bus) kill(p, SIGKILL);
  EXPECT_TRUE(bus.empty()) << bus.size() << " dbus-launch or dbus-daemon processes were started";
  EXPECT_EQ(after, before) << "windows on the root after the run: " << after.size() << ", before: " << before.size();
}

}  // namespace
}  // namespace veltrane
