#include "saver/controls/command_logic.h"

#include <utility>

namespace veltrane {

namespace {

// Runs the steps in order; when one fails, `handler` runs and the next step follows.
template <typename Handler, typename... Steps>
void ResumeNextAfter(Handler&& handler, Steps&&... steps) {
  ((vb::TryStep(std::forward<Steps>(steps)) || (handler(), true)), ...);
}

}  // namespace

const char* LookName(Look look) {
  switch (look) {
    case Look::Normal: return "Normal";
    case Look::HighLight: return "HighLight";
    case Look::HighLightSelect: return "HighLightSelect";
    case Look::Pressed: return "Pressed";
    case Look::Disable: return "Disable";
    case Look::Selected: return "Selected";
  }
  return "?";
}

vb::FontSpec CommandLogic::DesignFont() {
  vb::FontSpec f;
  f.Name = "ＭＳ Ｐゴシック";
  f.Size = 9.75;
  f.Weight = 400;
  f.Charset = vb::kCharsetShiftJis;
  return f;
}

CommandLogic::CommandLogic(CommandHost& host) : host_(host) {}

// ---------------------------------------------------------------------------
// States and mouse tracking

void CommandLogic::Initialize() {
  vb::ResumeNext([&] { State = kIdle; }, [&] { host_.StartHoverPoll(kHoverPollMs); });
}

void CommandLogic::UserControl_GotFocus() {
  if (enabled == vb::False) return;
  if (State != kHover) {
    vb::ResumeNext([&] { State = kFocused; }, [&] { PaintState(Look::Selected); });
  } else {
    vb::ResumeNext([&] { State = kFocusedHover; }, [&] { PaintState(Look::Pressed); });
  }
}

void CommandLogic::UserControl_LostFocus() {
  if (enabled == vb::False) return;
  // Also when the pointer is still over the button: the next move enters the hover again.
  if (State != kIdle) vb::ResumeNext([&] { State = kIdle; }, [&] { PaintState(Look::Normal); });
}

void CommandLogic::UserControl_MouseDown(std::int16_t button, std::int16_t, float, float) {
  if (enabled == vb::False) return;
  if (button != kLeftButton) return;
  vb::ResumeNext([&] { mouseDown = vb::True; }, [&] { PaintState(Look::Pressed); });
}

void CommandLogic::UserControl_MouseMove(std::int16_t, std::int16_t, float, float) {
  if (enabled == vb::False) return;
  vb::ResumeNext(
      [&] {
        if (State == kIdle) vb::ResumeNext([&] { State = kHover; }, [&] { PaintState(Look::HighLight); });
      },
      [&] {
        // A held left button keeps a focused button from highlighting while it is dragged back.
        if (State == kFocused && mouseDown == vb::False)
          vb::ResumeNext([&] { State = kFocusedHover; }, [&] { PaintState(Look::HighLightSelect); });
      });
}

void CommandLogic::UserControl_MouseUp(std::int16_t button, std::int16_t, float, float) {
  if (enabled == vb::False) return;
  vb::ResumeNext(
      [&] {
        if (button != kLeftButton) return;
        vb::ResumeNext([&] { mouseDown = vb::False; },
                       [&] { if (State == kHover) PaintState(Look::Normal); },
                       [&] { if (State == kFocusedHover) PaintState(Look::HighLightSelect); });
      },
      [&] {
        // Any button. After the pointer left a focused button the poll has moved it to
        // Focused, so a release there raises nothing.
        if (enabled == vb::True && State != kFocused) host_.RaiseClick();
      });
}

void CommandLogic::LblMsg_MouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
  UserControl_MouseDown(button, shift, x, y);
}
void CommandLogic::LblMsg_MouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
  UserControl_MouseMove(button, shift, x, y);
}
void CommandLogic::LblMsg_MouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
  UserControl_MouseUp(button, shift, x, y);
}

void CommandLogic::UserControl_Resize() {
  vb::ResumeNext([&] { ShowEnabledLook(); });
}

void CommandLogic::TmrMouse_Timer() {
  if (enabled == vb::False) return;
  ScreenPoint point;
  NativeWindow hit = 0;
  NativeWindow container = 0;
  NativeWindow own = 0;
  bool containerKnown = false;
  bool ownKnown = false;
  vb::ResumeNext([&] { point = host_.CursorPos(); },
                 [&] { hit = host_.WindowFromPoint(point); },
                 [&] { container = host_.ContainerWindow(); containerKnown = true; },
                 [&] { own = host_.ControlWindow(); ownKnown = true; });
  // The two tests of the poll. A window that cannot be determined makes its test
  // count as met, so such a tick leaves the hover.
  vb::ResumeNext(
      [&] {
        if (!containerKnown || hit == container) LeaveHover();
      },
      [&] {
        if (!containerKnown || !ownKnown || (hit != own && hit != container)) LeaveHover();
      });
}

void CommandLogic::LeaveHover() {
  if (enabled == vb::False) return;
  vb::ResumeNext(
      [&] {
        if (State == kHover) vb::ResumeNext([&] { State = kIdle; }, [&] { PaintState(Look::Normal); });
      },
      [&] {
        if (State == kFocusedHover)
          vb::ResumeNext([&] { State = kFocused; }, [&] { PaintState(Look::Selected); });
      });
}

void CommandLogic::ShowEnabledLook() {
  if (enabled != vb::False) {
    vb::ResumeNext([&] { PaintState(Look::Normal); }, [&] { host_.SetCaptionEnabled(true); });
  } else {
    vb::ResumeNext([&] { PaintState(Look::Disable); }, [&] { host_.SetCaptionEnabled(false); });
  }
}

void CommandLogic::PaintState(Look look) {
  // The direction follows the state at the time of painting, not the look; in
  // FocusedHover (and before Initialize) it stays as the last paint left it.
  if (State == kIdle) gradientReversed = vb::False;
  else if (State == kHover) gradientReversed = vb::True;
  else if (State == kFocused) gradientReversed = vb::False;
  host_.DrawFace(look, gradientReversed != vb::False);
}

// ---------------------------------------------------------------------------
// Properties

void CommandLogic::ApplyCaptionColour(vb::Color colour) {
  // Plain colours only: red, green and blue in the low three bytes.
  if (colour > 0xFFFFFFu) throw vb::RuntimeError(vb::kErrInvalidPropertyValue);
  host_.SetCaptionColour(colour);
  captionColour_ = colour;
}

void CommandLogic::ApplyBackdrop(std::int16_t style) {
  if (style != 0 && style != 1) throw vb::RuntimeError(vb::kErrInvalidPropertyValue);
  host_.SetBackdrop(style);
  backdrop_ = style;
}

void CommandLogic::SetCaption(const QString& caption) {
  vb::ResumeNext([&] { host_.SetCaptionText(caption); caption_ = caption; },
                 [&] { host_.PropertyChanged(QStringLiteral("Caption")); });
}

vb::Boolean CommandLogic::Enabled() {
  vb::Boolean result = vb::False;
  vb::ResumeNext(
      [&] {
        // The first read sets a new instance up: enabled, and never again.
        if (firstRun == 0)
          vb::ResumeNext([&] { ResetLook(); }, [&] { firstRun = 1; }, [&] { enabled = vb::True; });
      },
      [&] { result = enabled; },
      [&] { ShowEnabledLook(); });
  return result;
}

void CommandLogic::SetEnabled(vb::Boolean value) {
  vb::ResumeNext([&] { enabled = vb::ToBoolean(value != 0); },
                 [&] { host_.PropertyChanged(QStringLiteral("Enabled")); },
                 [&] { ShowEnabledLook(); });
}

void CommandLogic::SetFont(const vb::FontSpec& font) {
  vb::ResumeNext([&] { host_.SetCaptionFont(font); font_ = font; },
                 [&] { host_.PropertyChanged(QStringLiteral("Font")); });
}

vb::Color CommandLogic::FontColour() {
  vb::Color result = 0;
  // A failing step repaints and goes on with the next one.
  ResumeNextAfter([&] { ResetLook(); },
                  [&] { result = captionColour_; },
                  [&] { ResetLook(); });
  return result;
}

void CommandLogic::SetFontColour(vb::Color colour) {
  // A failing step repaints and ends the set, without noting a change.
  bool ok = vb::TryStep([&] { ApplyCaptionColour(colour); }) &&
            vb::TryStep([&] { ResetLook(); }) &&
            vb::TryStep([&] { host_.PropertyChanged(QStringLiteral("FontColour")); });
  if (!ok) vb::TryStep([&] { ResetLook(); });
}

std::uint8_t CommandLogic::Visible() {
  if (backdrop_ == 0) return 0;
  vb::ResumeNext([&] { ResetLook(); });
  return 255;
}

void CommandLogic::SetVisible(std::uint8_t value) {
  vb::ResumeNext(
      [&] {
        if (value != 0) vb::ResumeNext([&] { ApplyBackdrop(1); }, [&] { ResetLook(); });
        else ApplyBackdrop(0);
      },
      [&] { host_.PropertyChanged(QStringLiteral("Visible")); });
}

void CommandLogic::ResetLook() {
  if (enabled == vb::False) return;
  auto blackCaption = [&] {
    captionColour_ = vb::kBlack;
    vb::TryStep([&] { host_.SetCaptionColour(vb::kBlack); });
  };
  ResumeNextAfter(blackCaption,
                  [&] { host_.SetCaptionEnabled(true); },
                  [&] { if (firstRun == 0) ApplyCaptionColour(vb::kBlack); },
                  [&] { PaintState(Look::Normal); });
}

void CommandLogic::UserControl_ReadProperties(const vb::PropertyBag& bag) {
  vb::ResumeNext(
      [&] { enabled = vb::VarToBoolean(bag.ReadProperty(QStringLiteral("Enabled"), true)); },
      [&] {
        QString caption = vb::VarToText(bag.ReadProperty(QStringLiteral("Caption"), QStringLiteral("Command1")));
        host_.SetCaptionText(caption);
        caption_ = caption;
      },
      [&] {
        // Only the face name is taken from the stored font; size, weight, style and
        // character set stay those of the caption's current font.
        QVariant stored = bag.Contains(QStringLiteral("Font")) ? bag.ReadProperty(QStringLiteral("Font"))
                                                               : vb::FontValue(host_.AmbientFont());
        vb::FontSpec font = font_;
        font.Name = vb::VarToText(stored).toStdString();
        host_.SetCaptionFont(font);
        font_ = font;
      },
      [&] { firstRun = vb::VarToByte(bag.ReadProperty(QStringLiteral("FirstRun"), QStringLiteral("1"))); },
      [&] {
        ApplyCaptionColour(static_cast<vb::Color>(
            vb::VarToLong(bag.ReadProperty(QStringLiteral("FontColour"), QStringLiteral("0")))));
      },
      [&] { ApplyBackdrop(vb::VarToInteger(bag.ReadProperty(QStringLiteral("Visible"), QStringLiteral("1")))); },
      [&] { ResetLook(); });
}

void CommandLogic::UserControl_WriteProperties(vb::PropertyBag& bag) {
  vb::ResumeNext(
      [&] { bag.WriteProperty(QStringLiteral("Enabled"), enabled != vb::False, true); },
      [&] { bag.WriteProperty(QStringLiteral("Caption"), caption_, QStringLiteral("Command")); },
      [&] {
        bag.WriteProperty(QStringLiteral("FirstRun"), QVariant::fromValue<uchar>(firstRun), QStringLiteral("1"));
      },
      [&] {
        // Without a container font to compare with, the font is stored as it is.
        QVariant ambient;
        vb::TryStep([&] { ambient = vb::FontValue(host_.AmbientFont()); });
        bag.WriteProperty(QStringLiteral("Font"), vb::FontValue(font_), ambient);
      },
      [&] {
        bag.WriteProperty(QStringLiteral("FontColour"), static_cast<qint32>(captionColour_), QStringLiteral("0"));
      },
      [&] {
        bag.WriteProperty(QStringLiteral("Visible"), QVariant::fromValue<qint16>(backdrop_), QStringLiteral("1"));
      },
      [&] { ResetLook(); });
}

}  // namespace veltrane
