// Lumora_P, the configuration dialog "<Veltrane>": the maker's logo glowing like
// fire, the credit line, the link to the maker's web page and the OK button.
// There is nothing to configure. The whole life of the dialog runs inside its load
// handler: it shows itself, draws the logo and runs the frame loop, which pumps
// the window events; OK, the link and the window's close command are handled from
// inside that loop, and closing ends the process.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "saver/controls/command_control.h"
#include "saver/dialog/dialog_desktop.h"
#include "saver/dialog/logo_fire.h"
#include "saver/runtime/form.h"
#include "saver/runtime/label.h"
#include "saver/runtime/picture_box.h"
#include "saver/runtime/vb_types.h"

namespace veltrane {

inline constexpr const char* kDialogCaption = "<Veltrane>";
inline constexpr const char* kLogoText = "Drevik's Graphics";
inline constexpr const char* kCreditLine = "Designed by Drevik Ver.1.0.0";
// The maker's web page; the reserved example domain, so that no real site is named.
inline constexpr const char* kMakerAddress = "http://www.example.com/drevik/";
// The link's hand pointer: the tip of the index finger.
inline constexpr int kHandHotSpotX = 12;
inline constexpr int kHandHotSpotY = 10;

struct ZoomPoint {
  std::int16_t x = 0, y = 0;
  bool operator==(const ZoomPoint&) const = default;
};
// The point the dialog zooms from and back to: the pointer's position, each
// coordinate cut to 16 bits, or the screen's top-left corner when the position
// could not be read.
ZoomPoint ZoomPointFor(const std::optional<platform::CursorPoint>& cursor);

// The fire's random values, from the form runtime's generator.
class RuntimeRandom : public FireRandom {
 public:
  float Next() override;
};

// The logo animation's heat grid, colour buffer and palette are the form's own
// members (`heat`, `pixels`, `palette`, `textLevel`, `Initialize`).
class Lumora_P : public vb::Form, private LogoFire {
 public:
  Lumora_P();
  ~Lumora_P() override;

  // The controls, in the form's control order.
  vb::PictureBox Display{*this, "Display"};
  vb::Label lbl_7{*this, "lbl"};  // the control array lbl has the one element lbl(7)
  vb::Label lbl_URL{*this, "lbl_URL"};
  CommandControl Cmd_OK;

  // The control array lbl; run-time error 340 for an index it does not hold.
  vb::Label& lbl(int index);

  // The size of Display's drawing area in pixels, set on load.
  std::int16_t picW = 0;
  std::int16_t picH = 0;
  // The frame loop runs while this is True.
  vb::Boolean animating = vb::False;

  // For measurement only: told when sampling starts, after each sampled row,
  // when sampling ends and after every frame of the loop.
  enum class Phase { SamplingStarts, RowSampled, SamplingEnds, FrameDone };
  std::function<void(Phase)> Observer;

  // Runs the control's Initialize (doInit True) or sets its Enabled property to
  // `enable`, by name, for every Command button of `form`, in control order.
  static void setbuttons(vb::Form& form, vb::Boolean doInit, vb::Boolean enable);

 protected:
  void Form_Load() override;
  void Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode) override;

 private:
  void Cmd_OK_Click();
  void lbl_URL_Click();

  // The logo animation.
  using LogoFire::Initialize;
  void getbits();
  void setbits();
  void drawlogo();
  void runme2();
  void Observe(Phase phase) {
    if (Observer) Observer(phase);
  }

  RuntimeRandom random_;
};

}  // namespace veltrane
