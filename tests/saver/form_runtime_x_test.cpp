// The form runtime on a private Xvfb, in this process: the life of a form, the
// close request from the window system, modal show, twips, the picture box's
// persistent image, timers, the reaping of started programs, fonts and pointers.
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTimer>

#include "saver/runtime/runtime.h"
// After Qt: it brings in Xlib.
#include "support/xvfb_session.h"
#include "platform/x11/window_lookup.h"

namespace veltrane {
namespace {

using namespace std::chrono_literals;
testing::XvfbSession* g_session = nullptr;

// One private server and one Qt application for the whole test program.
class QtOnXvfb : public ::testing::Environment {
 public:
  void SetUp() override {
    g_session = new testing::XvfbSession({1024, 768, 24, false});
    ASSERT_TRUE(g_session->ok());
    setenv("DISPLAY", g_session->name().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    setenv("XDG_RUNTIME_DIR", g_session->home().c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);  // Qt must not start a session bus
    static int argc = 1;
    static char name[] = "form_runtime_x_test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vb::RegisterFontSubstitutions();
  }
  void TearDown() override {
    // Qt's connection goes first, so the server's end is not an I/O error for it.
    delete qApp;
    delete g_session;
    g_session = nullptr;
  }
};
[[maybe_unused]] auto* const g_env = ::testing::AddGlobalTestEnvironment(new QtOnXvfb);

// Pumps events until `done` holds or the time is up.
template <typename Pred>
bool PumpUntil(Pred done, std::chrono::milliseconds timeout = 3s) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeout.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void Pump(std::chrono::milliseconds time) {
  PumpUntil([] { return false; }, time);
}

class RecordingForm : public vb::Form {
 public:
  RecordingForm() : Form("RecordingForm") { SetBorderStyle(vb::kBorderNone); }
  std::vector<std::string> log;
  bool cancelQuery = false;

 protected:
  void Form_Load() override { log.push_back("Load"); }
  void Form_QueryUnload(std::int16_t& cancel, std::int16_t mode) override {
    log.push_back("QueryUnload " + std::to_string(mode));
    if (cancelQuery) cancel = -1;  // True (Xlib has taken the name)
  }
  void Form_Unload(std::int16_t&) override { log.push_back("Unload"); }
};

TEST(Form, LoadShowUnloadRunTheHandlersInOrder) {
  RecordingForm form;
  form.SetCaption("Runtime Test Form");
  form.Load();
  EXPECT_EQ(form.log, (std::vector<std::string>{"Load"}));
  ::Window w = form.hWnd();
  ASSERT_NE(w, 0u);
  Pump(100ms);
  EXPECT_FALSE(g_session->Info(w).viewable) << "a loaded form stays hidden until shown";

  form.Show(0);
  ASSERT_TRUE(PumpUntil([&] { return g_session->Info(w).viewable; }));
  EXPECT_EQ(platform::FindTopLevelWindow(g_session->display(), "Runtime Test Form"), w);

  form.Load();  // loading a loaded form does nothing
  EXPECT_TRUE(form.Unload());
  EXPECT_EQ(form.log, (std::vector<std::string>{"Load", "QueryUnload 1", "Unload"}));
  EXPECT_FALSE(form.IsLoaded());
  EXPECT_TRUE(PumpUntil([&] { return g_session->FindWindow("Runtime Test Form", false) == 0; }));
}

TEST(Form, ACancelledQueryUnloadKeepsTheForm) {
  RecordingForm form;
  form.cancelQuery = true;
  form.Show(0);
  EXPECT_FALSE(form.Unload());
  EXPECT_TRUE(form.IsLoaded());
  EXPECT_EQ(form.log, (std::vector<std::string>{"Load", "QueryUnload 1"}));
  form.cancelQuery = false;
  EXPECT_TRUE(form.Unload());
}

TEST(Form, TheWindowSystemsCloseRequestTakesTheUnloadPath) {
  RecordingForm form;
  form.SetCaption("Close Me");
  form.Show(0);
  ::Window w = form.hWnd();
  ASSERT_TRUE(PumpUntil([&] { return g_session->Info(w).viewable; }));
  g_session->SendClose(w);
  ASSERT_TRUE(PumpUntil([&] { return !form.IsLoaded(); }));
  EXPECT_EQ(form.log, (std::vector<std::string>{"Load", "QueryUnload 0", "Unload"}));
}

TEST(Form, ModalShowReturnsWhenTheFormIsUnloaded) {
  RecordingForm form;
  QTimer::singleShot(150, [&] { form.Unload(); });
  form.Show(1);
  EXPECT_FALSE(form.IsLoaded());
  EXPECT_EQ(form.log.back(), "Unload");
  EXPECT_THROW(form.Show(2), vb::RuntimeError);
}

TEST(Form, PositionAndSizeInTwips) {
  RecordingForm form;
  const double tx = vb::TwipsPerPixelX(), ty = vb::TwipsPerPixelY();
  form.Move(100 * tx, 50 * ty, 300 * tx, 200 * ty);
  form.SetBackColor(vb::RGB(0, 128, 0));
  form.Show(0);
  ::Window w = form.hWnd();
  ASSERT_TRUE(PumpUntil([&] { return g_session->Info(w).viewable; }));
  Pump(100ms);
  auto info = g_session->Info(w);
  EXPECT_EQ(info.x, 100);
  EXPECT_EQ(info.y, 50);
  EXPECT_EQ(info.width, 300);
  EXPECT_EQ(info.height, 200);
  EXPECT_DOUBLE_EQ(form.Left(), 100 * tx);
  EXPECT_DOUBLE_EQ(form.Width(), 300 * tx);
  EXPECT_EQ(g_session->Capture(150, 100, 1, 1).at(0, 0), (testing::Rgb{0, 128, 0}));
  form.SetScaleMode(vb::ScaleMode::Pixels);
  EXPECT_DOUBLE_EQ(form.ScaleWidth(), 300);
  form.Unload();
}

TEST(Screen, SizeInTwipsAndTheHourglass) {
  EXPECT_DOUBLE_EQ(vb::Screen::Width() / vb::Screen::TwipsPerPixelX(), 1024);
  EXPECT_DOUBLE_EQ(vb::Screen::Height() / vb::Screen::TwipsPerPixelY(), 768);
  vb::Screen::SetMousePointer(vb::kPointerHourglass);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  vb::Screen::SetMousePointer(vb::kPointerDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Fonts, TheFormsFontNamesResolveToTheSubstitutes) {
  vb::FontSpec verdana{"Verdana", 20.25, 700, false, false, false, vb::kCharsetWestern};
  EXPECT_EQ(QFontInfo(vb::ToQFont(verdana)).family(), "DejaVu Sans");
  vb::FontSpec gothic;  // "ＭＳ Ｐゴシック"
  EXPECT_EQ(QFontInfo(vb::ToQFont(gothic)).family(), "IPAPGothic");
  EXPECT_TRUE(vb::ToQFont(verdana).bold());
}

class PictureBoxTest : public ::testing::Test {
 protected:
  PictureBoxTest() {
    pic.SetBorderStyle(0);
    pic.SetScaleMode(vb::ScaleMode::Pixels);
    form.SetScaleMode(vb::ScaleMode::Pixels);
    pic.Move(0, 0, 60, 30);
  }
  RecordingForm form;
  vb::PictureBox pic{form, "Display"};
};

TEST_F(PictureBoxTest, BackgroundColourClearsAndPixelsReadBack) {
  EXPECT_EQ(pic.ImageWidth(), 60);
  EXPECT_EQ(pic.ImageHeight(), 30);
  EXPECT_DOUBLE_EQ(pic.ScaleWidth(), 60);
  pic.SetBackColor(vb::RGB(0, 0, 255));
  EXPECT_EQ(pic.GetPixel(0, 0), vb::RGB(0, 0, 255));
  EXPECT_EQ(pic.GetPixel(59, 29), vb::RGB(0, 0, 255));
  EXPECT_EQ(pic.GetPixel(60, 0), vb::kInvalidColor);
  EXPECT_EQ(pic.Point(-1, 0), -1);
  pic.SetBorderStyle(1);  // the border takes two pixels on each side
  EXPECT_EQ(pic.ImageWidth(), 56);
}

TEST_F(PictureBoxTest, PrintDrawsAtTheCurrentPositionWithinTheTextExtent) {
  pic.SetBackColor(vb::kBlack);
  pic.SetForeColor(vb::kWhite);
  pic.SetFont({"Verdana", 12, 700, false, false, false, vb::kCharsetWestern});
  const double w = pic.TextWidth("Wg"), h = pic.TextHeight("Wg");
  ASSERT_GT(w, 0);
  ASSERT_GT(h, 0);
  EXPECT_DOUBLE_EQ(pic.TextHeight("a\nb"), 2 * h);
  pic.SetCurrentX(5);
  pic.SetCurrentY(3);
  pic.Print("Wg");
  int lit = 0, outside = 0;
  for (int y = 0; y < pic.ImageHeight(); ++y)
    for (int x = 0; x < pic.ImageWidth(); ++x) {
      if (pic.GetPixel(x, y) == 0) continue;
      bool inBox = x >= 5 - 1 && x <= 5 + w + 1 && y >= 3 && y <= 3 + h;
      (inBox ? lit : outside)++;
    }
  EXPECT_GT(lit, 10);
  EXPECT_EQ(outside, 0);
  EXPECT_DOUBLE_EQ(pic.CurrentX(), 0);
  EXPECT_DOUBLE_EQ(pic.CurrentY(), 3 + h);
  pic.Cls();
  EXPECT_EQ(pic.GetPixel(10, 10), 0u);
  EXPECT_DOUBLE_EQ(pic.CurrentY(), 0);
}

TEST_F(PictureBoxTest, BitsTravelBottomUpInBlueGreenRedRowsPaddedToFourBytes) {
  pic.Move(0, 0, 5, 3);
  ASSERT_EQ(pic.ImageWidth(), 5);
  ASSERT_EQ(vb::PictureBox::DibRowBytes(5), 16u);
  pic.SetBackColor(vb::kBlack);
  pic.Picture().setPixel(0, 0, qRgb(10, 20, 30));  // top-left
  pic.Picture().setPixel(4, 2, qRgb(40, 50, 60));  // bottom-right
  std::vector<std::uint8_t> bits(16 * 3, 0xEE);
  EXPECT_EQ(pic.GetBits(bits.data(), 5, 3), 3);
  // Row 0 of the buffer is the bottom row of the picture.
  EXPECT_EQ(bits[4 * 3 + 0], 60);
  EXPECT_EQ(bits[4 * 3 + 1], 50);
  EXPECT_EQ(bits[4 * 3 + 2], 40);
  EXPECT_EQ(bits[2 * 16 + 0], 30);
  EXPECT_EQ(bits[2 * 16 + 2], 10);
  EXPECT_EQ(bits[15], 0xEE) << "padding bytes are left alone";

  std::fill(bits.begin(), bits.end(), 0);
  bits[0] = 255;             // bottom-left: blue
  bits[2 * 16 + 4 * 3 + 1] = 255;  // top-right: green
  pic.SetBits(bits.data(), 5, 3);
  EXPECT_EQ(pic.GetPixel(0, 2), vb::RGB(0, 0, 255));
  EXPECT_EQ(pic.GetPixel(4, 0), vb::RGB(0, 255, 0));
  EXPECT_EQ(pic.GetPixel(0, 0), 0u);
  pic.Refresh();
}

TEST(Controls, LabelSizesToItsTextAndLateBoundCallsCheckNames) {
  RecordingForm form;
  vb::Label label{form, "lbl"};
  vb::FontSpec font;
  font.Size = 9.75;
  label.SetFont(font);
  label.SetAutoSize(true);
  label.SetCaption("Designed by Drevik Ver.1.0.0");
  QFontMetrics fm(vb::ToQFont(font));
  EXPECT_EQ(label.width(), fm.horizontalAdvance(QString("Designed by Drevik Ver.1.0.0")));
  EXPECT_EQ(label.Caption(), "Designed by Drevik Ver.1.0.0");
  label.LetByName("Visible", 0);
  EXPECT_FALSE(label.Visible());
  try {
    label.CallByName("Initialize");
    FAIL();
  } catch (const vb::RuntimeError& e) {
    EXPECT_EQ(e.number(), vb::kErrNoSuchMember);
  }
  ASSERT_EQ(form.Controls().size(), 1u);
  EXPECT_EQ(form.Controls()[0]->Name(), "lbl");
}

TEST(Controls, TimerTicksOnlyWhileEnabledWithAnInterval) {
  RecordingForm form;
  vb::Timer timer{form, "Timer3"};
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.SetInterval(20);
  timer.SetEnabled(false);
  Pump(150ms);
  EXPECT_EQ(ticks, 0);
  timer.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 2; }));
  timer.SetInterval(0);
  int now = ticks;
  Pump(150ms);
  EXPECT_EQ(ticks, now);
  // A tick handler's run-time error abandons that handler only.
  timer.OnTimer = [&] {
    ++ticks;
    throw vb::RuntimeError(vb::kErrOverflow);
  };
  timer.SetInterval(20);
  ASSERT_TRUE(PumpUntil([&] { return ticks >= now + 2; }));
}

TEST(Process, AStartedProgramIsReapedWhenItEnds) {
  std::string dir = testing::MakeTempDir("reap");
  std::string program = dir + "/quick.dll";
  std::ofstream(program) << "#!/bin/sh\nexit 0\n";
  chmod(program.c_str(), 0755);
  pid_t pid = vb::StartProgram(program, vb::kWindowNormalFocus);
  std::string proc = "/proc/" + std::to_string(pid);
  struct stat st {};
  // A child nobody waits for would stay behind as a zombie with its /proc entry.
  EXPECT_TRUE(PumpUntil([&] { return stat(proc.c_str(), &st) != 0; }, 5s));
}

TEST(ZoomAnimation, RunsAndLeavesNothingOnScreen) {
  EXPECT_TRUE(vb::DrawAnimatedRects(0, vb::kIdAniCaption, {500, 400, 500, 400}, {100, 100, 600, 400}));
  EXPECT_FALSE(vb::DrawAnimatedRects(0, 1, {0, 0, 0, 0}, {1, 1, 2, 2}));
  Pump(50ms);
  // Only the root's own pattern remains where the outline ran.
  auto before = g_session->Capture(100, 100, 2, 2);
  EXPECT_TRUE(vb::DrawAnimatedRects(0, vb::kIdAniCaption, {100, 100, 600, 400}, {500, 400, 500, 400}));
  Pump(50ms);
  EXPECT_EQ(g_session->Capture(100, 100, 2, 2).pixels, before.pixels);
}

}  // namespace
}  // namespace veltrane
