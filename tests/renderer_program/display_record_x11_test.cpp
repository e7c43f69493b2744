// The display record a killed renderer leaves on the root window is given back
// only while it fits the server and the display is still as that renderer left
// it, and only real holders keep the mode switched. Each run switches a real
// mode: 1280 x 1024 with 1024 x 768, 800 x 600 and 1152 x 864 modes added.
#include "support/xvfb_session.h"
#include "support/randr_state.h"

#include <signal.h>
#include <unistd.h>

#include <X11/Xatom.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace veltrane::testing {
namespace {

using namespace std::chrono_literals;
using Longs = std::vector<long>;

// Field places in the record, the same in every version.
enum Field { kCrtc = 1, kMode, kX, kY, kRotation, kWidth, kHeight, kMmWidth, kMmHeight, kFirstOutput = 11 };
constexpr long kNoSuchId = 0x1ffffff0;

struct Server {
  ::Display* d() const { return s.display(); }
  ::Window root() const { return DefaultRootWindow(d()); }
  void Put(::Window w, const char* name, ::Atom type, const Longs& v) const {
    XChangeProperty(d(), w, XInternAtom(d(), name, False), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(v.data()), static_cast<int>(v.size()));
    XSync(d(), False);
  }
  Longs Record() const {
    ::Atom type = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* p = nullptr;
    XGetWindowProperty(d(), root(), XInternAtom(d(), "_VELTRANE_SAVED_DISPLAY", False), 0, 1024, False,
                       XA_CARDINAL, &type, &format, &n, &after, &p);
    const Longs v(reinterpret_cast<long*>(p), reinterpret_cast<long*>(p) + (p != nullptr ? n : 0));
    XFree(p);  // XFree(nullptr) is harmless
    return v;
  }
  // Lists `w` as the only holder, marked with `pid`.
  void Hold(::Window w, long pid) const {
    Put(w, "_VELTRANE_DISPLAY_HOLDER", XA_CARDINAL, {pid});
    Put(root(), "_VELTRANE_DISPLAY_HOLDERS", XA_WINDOW, {static_cast<long>(w)});
  }
  ::Window InputOnlyWindow(int size, bool overrideRedirect) const {
    XSetWindowAttributes a{};
    a.override_redirect = overrideRedirect;
    return XCreateWindow(d(), root(), -1, -1, size, size, 0, 0, InputOnly, CopyFromParent, CWOverrideRedirect, &a);
  }
  XvfbSession s{{1280, 1024, 24, false}};
  std::vector<RRMode> modes = s.ok() ? AddRealModes(d(), {{1024, 768}, {800, 600}, {1152, 864}}) : std::vector<RRMode>{};
  ScreenState original = s.ok() ? ReadScreenState(d()) : ScreenState{};
};

// A first renderer switches; it is killed outright with its guard (its record
// stays) or ends (the record is gone, so only a forged one can be there). Then
// `change` acts on the server and on the first renderer's record, which is
// written back. After a second renderer's whole run the display must be as it
// was before that run, or at the original where the record must still be given
// back.
struct Case {
  const char* name;
  bool killed;
  bool backToOriginal;
  std::function<void(Server&, Longs&)> change;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

void UserSets(Server& x, const char* size) {
  ASSERT_EQ(x.s.Run({"xrandr", "-s", size}).code, 0);
  ASSERT_TRUE(WaitUntil([&] { return x.s.ScreenSize() == size; }, 5s));
}
void Mode800x600(const Server& x, Longs& v, long mmWidth, long mmHeight) {
  v[kMode] = static_cast<long>(x.modes[1]);
  v[kWidth] = 800, v[kHeight] = 600, v[kMmWidth] = mmWidth, v[kMmHeight] = mmHeight;
}

const Case kCases[] = {
    // A mode the user set after the kill wins over the stale record.
    {"UserSet800x600", true, false, [](auto& x, auto&) { UserSets(x, "800x600"); }},
    {"UserSet1152x864", true, false, [](auto& x, auto&) { UserSets(x, "1152x864"); }},
    // Forged records: never set, whether behind a killed renderer or left over.
    {"XMinus5000", true, false, [](auto&, auto& v) { v[kX] = -5000; }},
    {"YMinus5000", true, false, [](auto&, auto& v) { v[kY] = -5000; }},
    {"PlaceCutTo16Bits", true, false, [](auto&, auto& v) { v[kX] = v[kY] = 2147483647; }},
    {"Mode800x600WithoutMm", true, false, [](auto& x, auto& v) { Mode800x600(x, v, 0, 0); }},
    {"NoSuchCrtc", true, false, [](auto&, auto& v) { v[kCrtc] = kNoSuchId; }},
    {"NoSuchOutput", true, false, [](auto&, auto& v) { v[kFirstOutput] = kNoSuchId; }},
    {"NoSuchMode", true, false, [](auto&, auto& v) { v[kMode] = kNoSuchId; }},
    {"TwoRotations", true, false, [](auto&, auto& v) { v[kRotation] = RR_Rotate_0 | RR_Rotate_90; }},
    {"LeftOverMode800x600WithMm", false, false, [](auto& x, auto& v) { Mode800x600(x, v, 203, 152); }},
    {"LeftOverXMinus5000", false, false, [](auto&, auto& v) { v[kX] = -5000; }},
    // Forged holders hold nothing: the killed renderer's record is given back.
    {"RootHolds", true, true, [](auto& x, auto&) { x.Hold(x.root(), getpid()); }},
    {"OrdinaryWindowHolds", true, true,
     [](auto& x, auto&) { x.Hold(XCreateSimpleWindow(x.d(), x.root(), 10, 10, 200, 100, 0, 0, 0), getpid()); }},
    {"TooLargeHolds", true, true, [](auto& x, auto&) { x.Hold(x.InputOnlyWindow(2, true), getpid()); }},
    {"ManagedWindowHolds", true, true, [](auto& x, auto&) { x.Hold(x.InputOnlyWindow(1, false), getpid()); }},
    {"OtherProcessHolds", true, true, [](auto& x, auto&) { x.Hold(x.InputOnlyWindow(1, true), getppid()); }},
};

class DisplayRecord : public ::testing::TestWithParam<Case> {};
INSTANTIATE_TEST_SUITE_P(Cases, DisplayRecord, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(DisplayRecord, IsGivenBackOnlyWhenItFitsAndTheDisplayIsAsLeft) {
  const Case& c = GetParam();
  Server x;
  ASSERT_EQ(x.modes.size(), 3u);
  auto runRenderer = [&](int signal) {
    const pid_t pid = x.s.Start({std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll"});
    EXPECT_NE(x.s.WaitForWindow("Lumora_VC", 15s), 0u);
    const Longs record = x.Record();
    // Killed outright with its guard (a kill of the whole group, the OOM
    // killer): nothing gives the record back until the next look at it.
    if (signal == SIGKILL) {
      for (pid_t child : ChildrenOf(pid)) kill(child, SIGKILL);
    }
    kill(pid, signal);
    const auto status = WaitProcess(pid, 15s);
    if (!status) KillProcess(pid);
    EXPECT_TRUE(signal == SIGKILL || (status && status->exited && status->code == 0));
    return record;
  };
  Longs record = runRenderer(c.killed ? SIGKILL : SIGTERM);
  ASSERT_GT(record.size(), static_cast<size_t>(kFirstOutput));
  if (c.killed) ASSERT_EQ(ReadScreenState(x.d()).width, 1024);
  else ASSERT_TRUE(WaitForScreenState(x.d(), x.original));
  c.change(x, record);
  x.Put(x.root(), "_VELTRANE_SAVED_DISPLAY", XA_CARDINAL, record);
  const ScreenState before = ReadScreenState(x.d());
  runRenderer(SIGTERM);
  EXPECT_TRUE(WaitForScreenState(x.d(), c.backToOriginal ? x.original : before))
      << "left in mode " << ReadScreenState(x.d()).mode << " at " << ReadScreenState(x.d()).x;
  EXPECT_TRUE(x.Record().empty());
}

}  // namespace
}  // namespace veltrane::testing
