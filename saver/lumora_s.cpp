#include "saver/lumora_s.h"

#include "saver/command_line.h"
#include "saver/runtime/runtime.h"
#include "saver/saver_main.h"
#include "saver/shell_windows.h"

namespace veltrane {

Lumora_S::Lumora_S() : Form("Lumora_S") {
  SetCaption(Lumora_B::kCoverTitle);
  SetBackColor(vb::kBlack);
  // The cover is all screen: no frame or title bar of its own.
  SetBorderStyle(vb::kBorderNone);
  // The cover is black and is soon covered by the renderer: it offers assistive
  // tools nothing, and the session-bus connection Qt would open for them at its
  // first showing would only hold up the renderer's start.
  vb::StayOffSessionBus();
  Timer3.SetInterval(500);
  Timer3.SetEnabled(false);
  Timer3.OnTimer = [this] { Timer3_Timer(); };
}

void Lumora_S::Form_Load() {
  vb::ResumeNext([&] { SetWidth(vb::Screen::Width()); },
                 [&] { SetHeight(vb::Screen::Height()); },
                 [&] { Move(0, 0); },
                 [&] { SetWindowState(vb::kStateNormal); },
                 [&] { Show(0); },
                 [&] { RendererPath = vb::AppPath() + Lumora_B::kRendererFile; },
                 [&] { vb::StartProgram(RendererPath, vb::kWindowNormalFocus); },
                 [&] { Timer3.SetEnabled(true); });
}

void Lumora_S::Timer3_Timer() {
  if (FindWindowByTitle(Lumora_B::kRendererTitle) != 0) return;
  Timer3.SetEnabled(false);
  Unload();
}

void Lumora_S::Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode) {
  (void)cancel;
  (void)unloadMode;
  vb::ResumeNext([&] {
                   if (ModeLetter(vb::Command()) == "S") Lumora_B::CursorCount = ShowPointer(true);
                 },
                 [&] { vb::End(); });
}

Lumora_S& TheLumora_S() {
  static auto* form = new Lumora_S();
  return *form;
}

}  // namespace veltrane
