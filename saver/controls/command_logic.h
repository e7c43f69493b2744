// The gradient push button `Command` without its window: the interaction states,
// the hover poll's decision, the `Click` rule, the properties and their
// persistence. Everything it shows or asks of the platform goes through
// CommandHost, so the whole behaviour runs (and is tested) without a display.
#pragma once

#include <cstdint>

#include <QString>

#include "saver/runtime/color.h"
#include "saver/runtime/fonts.h"
#include "saver/runtime/property_bag.h"
#include "saver/runtime/vb_types.h"

namespace veltrane {

// The six looks of the button; each is named by its skin picture.
enum class Look { Normal, HighLight, HighLightSelect, Pressed, Disable, Selected };
inline constexpr int kLookCount = 6;
const char* LookName(Look look);

// Values of `State`.
inline constexpr std::uint8_t kIdle = 1;          // neither focused nor under the pointer
inline constexpr std::uint8_t kHover = 2;         // under the pointer, not focused
inline constexpr std::uint8_t kFocused = 3;       // focused, pointer elsewhere
inline constexpr std::uint8_t kFocusedHover = 4;  // focused and under the pointer

// Mouse buttons as the handlers receive them.
inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;

inline constexpr int kHoverPollMs = 100;

// A window of the window system (an X window id); 0 is none.
using NativeWindow = std::uint64_t;
struct ScreenPoint {
  int x = 0, y = 0;
};

// What the button needs from its surface, its caption label and its container.
// A call that cannot be carried out raises vb::RuntimeError; the button's
// procedures skip the failing step, as their error mode says.
class CommandHost {
 public:
  virtual ~CommandHost() = default;

  // Draws the face for a look: clear, gradient, the look's border, caption
  // placement, the four line elements hidden. The direction has been decided.
  virtual void DrawFace(Look look, bool gradientReversed) = 0;

  // The caption label.
  virtual void SetCaptionEnabled(bool enabled) = 0;
  virtual void SetCaptionText(const QString& text) = 0;
  virtual void SetCaptionFont(const vb::FontSpec& font) = 0;
  virtual void SetCaptionColour(vb::Color colour) = 0;
  // The backdrop: 1 opaque (the face is shown), 0 transparent.
  virtual void SetBackdrop(std::int16_t style) = 0;

  virtual void StartHoverPoll(int intervalMs) = 0;
  virtual void RaiseClick() = 0;
  virtual void PropertyChanged(const QString& name) = 0;
  // The container's default font for its controls.
  virtual vb::FontSpec AmbientFont() = 0;

  // The hover poll's questions: where the pointer is, which window is topmost
  // there, the control's own window and its container's window.
  virtual ScreenPoint CursorPos() = 0;
  virtual NativeWindow WindowFromPoint(ScreenPoint point) = 0;
  virtual NativeWindow ControlWindow() = 0;
  virtual NativeWindow ContainerWindow() = 0;
};

class CommandLogic {
 public:
  explicit CommandLogic(CommandHost& host);

  // ---- set-up, states and mouse tracking ----
  void Initialize();
  void UserControl_GotFocus();
  void UserControl_LostFocus();
  void UserControl_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
  void UserControl_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
  void UserControl_MouseUp(std::int16_t button, std::int16_t shift, float x, float y);
  void LblMsg_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
  void LblMsg_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
  void LblMsg_MouseUp(std::int16_t button, std::int16_t shift, float x, float y);
  void UserControl_Resize();
  void TmrMouse_Timer();
  void LeaveHover();
  void ShowEnabledLook();

  // Decides the gradient's direction from `State`, then draws the look.
  void PaintState(Look look);

  // ---- properties ----
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  // Reading `Enabled` sets a new instance up (first read) and repaints.
  vb::Boolean Enabled();
  void SetEnabled(vb::Boolean value);
  vb::FontSpec Font() const { return font_; }
  void SetFont(const vb::FontSpec& font);
  // Reading the colour repaints `Normal` (on an enabled button).
  vb::Color FontColour();
  void SetFontColour(vb::Color colour);
  // 0 while the backdrop is transparent, else 255; reading it repaints `Normal`
  // while the face is shown.
  std::uint8_t Visible();
  void SetVisible(std::uint8_t value);

  void ResetLook();
  void UserControl_ReadProperties(const vb::PropertyBag& bag);
  void UserControl_WriteProperties(vb::PropertyBag& bag);

  // Members at their stored widths; a new instance starts with all of them zero.
  std::uint8_t State = 0;
  vb::Boolean mouseDown = vb::False;
  vb::Boolean enabled = vb::False;
  vb::Boolean gradientReversed = vb::False;
  std::uint8_t firstRun = 0;

  // What the caption label and the backdrop hold (read-only views for tests).
  vb::Color captionColour() const { return captionColour_; }
  std::int16_t backdropStyle() const { return backdrop_; }

  static vb::FontSpec DesignFont();

 private:
  void ApplyCaptionColour(vb::Color colour);
  void ApplyBackdrop(std::int16_t style);

  CommandHost& host_;
  QString caption_ = QStringLiteral("Command");
  vb::FontSpec font_ = DesignFont();
  vb::Color captionColour_ = vb::kBlack;
  std::int16_t backdrop_ = 1;
};

}  // namespace veltrane
