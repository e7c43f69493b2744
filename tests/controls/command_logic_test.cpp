// The button's states, looks and Click rule, driven by events through a recording
// host (no display).
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "recording_host.h"
#include "saver/controls/command_logic.h"

namespace veltrane {
namespace {

using testing::Paint;
using testing::RecordingHost;

constexpr NativeWindow kOtherWindow = 999;

// A button with its recording host and the events a test sends it.
struct Harness {

  void Move(std::int16_t buttons = 0) {
    host.underPointer = host.own;
    button.UserControl_MouseMove(buttons, 0, 150, 90);
  }
  // A poll tick with the pointer over `window`.
  void Tick(NativeWindow window) {
    host.underPointer = window;
    button.TmrMouse_Timer();
  }
  void Away() { Tick(kOtherWindow); }
  void Focus() { button.UserControl_GotFocus(); }
  void Blur() { button.UserControl_LostFocus(); }
  void Press(std::int16_t b = kLeftButton) { button.UserControl_MouseDown(b, 0, 150, 90); }
  void Release(std::int16_t b = kLeftButton) { button.UserControl_MouseUp(b, 0, 150, 90); }

  // Drains what was recorded so far.
  std::vector<Paint> TakePaints() {
    std::vector<Paint> p;
    p.swap(host.paints);
    return p;
  }
  int TakeClicks() { return std::exchange(host.clicks, 0); }

  RecordingHost host;
  CommandLogic button{host};
};

class CommandStates : public ::testing::Test, protected Harness {
 protected:
  // Loaded from a stored form with every default, then initialised: Idle, Normal shown.
  void SetUp() override {
    button.UserControl_ReadProperties(vb::PropertyBag());
    button.Initialize();
    host.paints.clear();
  }
};

const Paint kNormalWhite{Look::Normal, false};
const Paint kNormalTint{Look::Normal, true};
const Paint kHighLightTint{Look::HighLight, true};
const Paint kHighLightSelectWhite{Look::HighLightSelect, false};
const Paint kPressedTint{Look::Pressed, true};
const Paint kPressedWhite{Look::Pressed, false};
const Paint kSelectedWhite{Look::Selected, false};

TEST_F(CommandStates, LoadingAndInitializeGiveIdleWithTheNormalLookAndAPoll) {
  RecordingHost h;
  CommandLogic b(h);
  EXPECT_EQ(b.State, 0);
  EXPECT_EQ(b.enabled, vb::False);
  b.UserControl_ReadProperties(vb::PropertyBag());
  EXPECT_EQ(b.enabled, vb::True);
  EXPECT_EQ(h.paints, (std::vector<Paint>{kNormalWhite}));
  EXPECT_EQ(h.pollStarts, 0);
  b.Initialize();
  EXPECT_EQ(b.State, kIdle);
  EXPECT_EQ(h.pollStarts, 1);
  EXPECT_EQ(h.pollInterval, 100);
  EXPECT_EQ(h.paints.size(), 1u) << "Initialize does not repaint";
}

// Every row of the transition summary, each from a state reached by real events.
TEST_F(CommandStates, TransitionTable) {
  struct Row {
    std::string name;
    int from;  // 0 = never initialised
    std::function<void(Harness&)> event;
    int to;
    std::vector<Paint> paints;
    int clicks = 0;
  };
  auto move = [](Harness& t) { t.Move(); };
  auto away = [](Harness& t) { t.Away(); };
  auto focus = [](Harness& t) { t.Focus(); };
  auto blur = [](Harness& t) { t.Blur(); };
  auto press = [](Harness& t) { t.Press(); };
  auto release = [](Harness& t) { t.Release(); };
  auto rightPress = [](Harness& t) { t.Press(kRightButton); };
  const std::vector<Row> rows = {
      {"idle, pointer moves over", 1, move, 2, {kHighLightTint}},
      {"hover, poll: pointer not over", 2, away, 1, {kNormalWhite}},
      {"hover, focus gained", 2, focus, 4, {kPressedTint}},
      {"hover, left release", 2, release, 2, {kNormalTint}, 1},
      {"focused, pointer moves over", 3, move, 4, {kHighLightSelectWhite}},
      {"focused hover, poll: pointer not over", 4, away, 3, {kSelectedWhite}},
      {"focused hover, left release", 4, release, 4, {kHighLightSelectWhite}, 1},
      {"hover, focus lost", 2, blur, 1, {kNormalWhite}},
      {"focused, focus lost", 3, blur, 1, {kNormalWhite}},
      {"focused hover, focus lost", 4, blur, 1, {kNormalWhite}},
      {"never initialised, left press", 0, press, 0, {kPressedWhite}},
      {"idle, left press", 1, press, 1, {kPressedWhite}},
      {"hover, left press", 2, press, 2, {kPressedTint}},
      {"focused, left press", 3, press, 3, {kPressedWhite}},
      {"focused hover, left press", 4, press, 4, {kPressedWhite}},
      {"never initialised, focus gained", 0, focus, 3, {kSelectedWhite}},
      {"idle, focus gained", 1, focus, 3, {kSelectedWhite}},
      {"focused, focus gained", 3, focus, 3, {kSelectedWhite}},
      {"focused hover, focus gained", 4, focus, 3, {kSelectedWhite}},
      // Rows where nothing changes.
      {"idle, poll", 1, away, 1, {}},
      {"focused, poll", 3, away, 3, {}},
      {"hover, moving on", 2, move, 2, {}},
      {"focused hover, moving on", 4, move, 4, {}},
      {"idle, focus lost", 1, blur, 1, {}},
      {"never initialised, pointer moves over", 0, move, 0, {}},
      {"hover, right press", 2, rightPress, 2, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Harness t;
    t.button.UserControl_ReadProperties(vb::PropertyBag());
    if (row.from != 0) t.button.Initialize();
    if (row.from == 2) t.Move();
    if (row.from == 3) t.Focus();
    if (row.from == 4) {
      t.Focus();
      t.Move();
    }
    ASSERT_EQ(t.button.State, row.from);
    t.TakePaints();
    row.event(t);
    EXPECT_EQ(t.button.State, row.to);
    EXPECT_EQ(t.TakePaints(), row.paints);
    EXPECT_EQ(t.TakeClicks(), row.clicks);
  }
}

TEST_F(CommandStates, DragOffAFocusedButtonAndReleaseOutsideRaisesNoClick) {
  Focus();
  Move();
  ASSERT_EQ(button.State, kFocusedHover);
  TakePaints();
  Press();
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kPressedWhite}));
  Move(kLeftButton);  // still over it
  Away();
  EXPECT_EQ(button.State, kFocused);
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kSelectedWhite}));
  Away();  // further ticks outside repaint nothing
  Release();
  EXPECT_EQ(TakeClicks(), 0);
  EXPECT_TRUE(TakePaints().empty()) << "the look stays Selected";
  Move();
  EXPECT_EQ(button.State, kFocusedHover);
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kHighLightSelectWhite}));
}

TEST_F(CommandStates, DraggingBackWhileHoldingKeepsFocusedAndTheReleaseRaisesNothing) {
  Focus();
  Move();
  Press();
  Away();
  TakePaints();
  Move(kLeftButton);  // back over it, left button still held
  EXPECT_EQ(button.State, kFocused);
  EXPECT_TRUE(TakePaints().empty());
  Release();
  EXPECT_EQ(TakeClicks(), 0);
  EXPECT_EQ(button.mouseDown, vb::False);
}

TEST_F(CommandStates, RightAndMiddleReleasesClickWithoutChangingTheLook) {
  Move();
  TakePaints();
  Press(kRightButton);
  Release(kRightButton);
  Release(kMiddleButton);
  EXPECT_EQ(TakeClicks(), 2);
  EXPECT_TRUE(TakePaints().empty());
  EXPECT_EQ(button.mouseDown, vb::False);
  Focus();
  Away();  // focused, pointer elsewhere: no Click from any button
  Release(kRightButton);
  EXPECT_EQ(TakeClicks(), 0);
}

TEST_F(CommandStates, FocusWhileHoveredShowsPressedOverTheTintUntilTheNextChange) {
  Move();
  Focus();
  EXPECT_EQ(button.State, kFocusedHover);
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kHighLightTint, kPressedTint}));
  Move();
  Tick(host.own);  // the poll over the button itself changes nothing
  EXPECT_TRUE(TakePaints().empty());
  Release();
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{{Look::HighLightSelect, true}}));
  EXPECT_EQ(TakeClicks(), 1);
}

TEST_F(CommandStates, LosingFocusUnderThePointerGivesIdleAndTheNextMoveHovers) {
  Move();
  Focus();
  Blur();
  EXPECT_EQ(button.State, kIdle);
  TakePaints();
  Move();
  EXPECT_EQ(button.State, kHover);
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kHighLightTint}));
}

TEST_F(CommandStates, LeftReleaseInHoverShowsNormalOverTheTintAndMovesRepaintNothing) {
  Move();
  Press();
  TakePaints();
  Release();
  EXPECT_EQ(button.State, kHover);
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kNormalTint}));
  EXPECT_EQ(TakeClicks(), 1);
  Move();
  Move();
  EXPECT_TRUE(TakePaints().empty());
  Away();
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kNormalWhite}));
}

TEST_F(CommandStates, ADisabledButtonIgnoresEverythingAndReEnablingShowsNormal) {
  Move();
  Focus();  // FocusedHover
  button.SetEnabled(vb::False);
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kHighLightTint, kPressedTint, {Look::Disable, true}}));
  EXPECT_EQ(host.captionEnabled, false);
  Blur();
  Focus();
  Move();
  Press();
  Release();
  Release(kRightButton);
  Away();
  button.LeaveHover();
  EXPECT_EQ(button.State, kFocusedHover);
  EXPECT_TRUE(TakePaints().empty());
  EXPECT_EQ(TakeClicks(), 0);
  button.SetEnabled(vb::True);
  EXPECT_EQ(button.State, kFocusedHover) << "re-enabling keeps the state";
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kNormalTint}));
  EXPECT_EQ(host.captionEnabled, true);
}

TEST_F(CommandStates, ThePollLeavesTheHoverUnlessThePointerIsOverTheButtonsOwnWindow) {
  Move();
  Tick(host.own);
  EXPECT_EQ(button.State, kHover);
  Tick(host.container);
  EXPECT_EQ(button.State, kIdle);

  Move();
  Tick(0);  // nothing found under the pointer
  EXPECT_EQ(button.State, kIdle);

  Move();
  host.containerUnknown = true;
  Tick(host.own);  // a tick without a container window leaves the hover
  EXPECT_EQ(button.State, kIdle);
  host.containerUnknown = false;

  Move();
  host.pointerUnreadable = true;
  Tick(kOtherWindow);
  EXPECT_EQ(button.State, kIdle);
}

TEST_F(CommandStates, BeforeInitializeMovesDoNothingButFocusStillSelects) {
  RecordingHost h;
  CommandLogic b(h);
  b.UserControl_ReadProperties(vb::PropertyBag());
  h.paints.clear();
  b.UserControl_MouseMove(0, 0, 0, 0);
  h.underPointer = kOtherWindow;
  b.TmrMouse_Timer();
  EXPECT_EQ(b.State, 0);
  EXPECT_TRUE(h.paints.empty());
  b.UserControl_GotFocus();
  EXPECT_EQ(b.State, kFocused);
  EXPECT_EQ(h.paints, (std::vector<Paint>{kSelectedWhite}));
}

TEST_F(CommandStates, AFailingPaintIsSkippedAndTheStateStillChanges) {
  host.drawFails = true;
  Move();
  Focus();
  EXPECT_EQ(button.State, kFocusedHover);
  Release();
  EXPECT_EQ(TakeClicks(), 1);
}

TEST_F(CommandStates, ResizeRepaintsByTheEnabledState) {
  Move();
  TakePaints();
  button.UserControl_Resize();
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{kNormalTint}));
  EXPECT_EQ(button.State, kHover);
  button.enabled = vb::False;
  button.UserControl_Resize();
  EXPECT_EQ(TakePaints(), (std::vector<Paint>{{Look::Disable, true}}));
}

}  // namespace
}  // namespace veltrane
