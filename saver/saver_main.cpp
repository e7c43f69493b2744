#include "saver/saver_main.h"

#include "saver/command_line.h"
#include "saver/lumora_r.h"
#include "saver/lumora_s.h"
#include "saver/runtime/runtime.h"
#include "saver/shell_windows.h"
#ifdef VELTRANE_HAVE_DIALOG
#include "saver/dialog/lumora_p.h"
#endif

namespace veltrane::Lumora_B {

std::int16_t ZoomX = 0;
std::int16_t ZoomY = 0;
std::optional<std::int32_t> CursorCount;

namespace {

void ShowConfigurationDialog() {
#ifdef VELTRANE_HAVE_DIALOG
  static auto* dialog = new Lumora_P();
  dialog->Show(1);
#endif
}

}  // namespace

void Main() {
  // A running cover form or an open configuration dialog of another instance
  // stops every start, the preview included. Both look-ups are always made.
  unsigned long cover = 0, dialog = 0;
  vb::ResumeNext([&] { cover = FindWindowByTitle(kCoverTitle); },
                 [&] { dialog = FindWindowByTitle(kDialogTitle); });
  if (cover != 0 || dialog != 0) vb::End();

  if (ModeLetter(vb::Command()) == "P") {
    PreviewStartup();
    return;
  }

  if (FileExists(vb::AppPath() + kRendererFile) == vb::False) {
    vb::ResumeNext([&] { vb::MsgBox(kRendererMissing, vb::kOkOnly); });
    vb::End();
  }

  // The title checks above and the window that marks this instance are apart in
  // time; the claim closes that gap for two shells started at the same moment.
  bool claimed = true;
  if (ModeLetter(vb::Command()) == "C") {
    vb::ResumeNext([&] { claimed = ClaimSaverInstance(); });
    if (!claimed) vb::End();
    vb::ResumeNext([&] { ShowConfigurationDialog(); });
    vb::End();
  }

  // An unrecognised switch ends silently; an empty command line runs the saver.
  if (ModeLetter(vb::Command()) != "S" && !vb::Command().empty()) vb::End();

  vb::ResumeNext([&] { claimed = ClaimSaverInstance(); });
  if (!claimed) vb::End();

  if (ModeLetter(vb::Command()) == "S") vb::ResumeNext([&] { CursorCount = ShowPointer(false); });

  vb::ResumeNext([&] { TheLumora_S().Load(); });
}

vb::Boolean FileExists(const std::string& path) {
  std::string copy = path;
  vb::Boolean result = vb::False;
  vb::Err() = 0;
  vb::ResumeNext([&] { if (!copy.empty() && copy.back() == '/') copy.pop_back(); },
                 [&] { vb::OpenForInput(1, copy); },
                 [&] { result = vb::ToBoolean(vb::Err() == 0); },
                 [&] { vb::Close(1); },
                 [&] { vb::Err() = 0; });
  return result;
}

std::optional<int> ZoomOpen(unsigned long hwnd) {
  vb::Rect from{ZoomX, ZoomY, ZoomX, ZoomY};
  vb::Rect to;
  vb::GetOuterWindowRect(hwnd, to);
  vb::DrawAnimatedRects(hwnd, vb::kIdAniCaption, from, to);
  return std::nullopt;
}

std::optional<int> ZoomClose(unsigned long hwnd) {
  vb::Rect from;
  vb::GetOuterWindowRect(hwnd, from);
  vb::Rect to{ZoomX, ZoomY, ZoomX, ZoomY};
  vb::DrawAnimatedRects(hwnd, vb::kIdAniCaption, from, to);
  return std::nullopt;
}

void PreviewStartup() {
  std::int32_t parent = 0;
  vb::Rect rect;
  bool found = false;
  std::int16_t x = 0, y = 0, w = 0, h = 0;
  std::int32_t style = 0;
  Lumora_R* form = nullptr;

  vb::ResumeNext([&] { parent = ReadPreviewHandle(vb::Command()); },
                 [&] { found = vb::GetWindowRect(static_cast<std::uint32_t>(parent), rect); });
  // Without a window to live in, the preview would be an invisible form that
  // nothing ever unloads: end at once instead.
  if (parent == 0 || !found) vb::End();

  vb::ResumeNext(
      [&] { x = 0; },
      [&] { y = 0; },
      [&] { w = vb::CInt((rect.right - rect.left) * vb::Screen::TwipsPerPixelX()); },
      [&] { h = vb::CInt((rect.bottom - rect.top) * vb::Screen::TwipsPerPixelY()); },
      [&] { form = &TheLumora_R(); form->Load(); },
      [&] { style = form->WindowStyle(); },
      [&] { form->SetWindowStyle(style | vb::kWsChild); },
      [&] { form->SetParentWindow(static_cast<std::uint32_t>(parent)); },
      [&] { form->SetLeft(x); },
      [&] { form->SetTop(y); },
      [&] { form->SetWidth(w); },
      [&] { form->SetHeight(h); },
      [&] { form->Img_Prev.SetWidth(w / vb::Screen::TwipsPerPixelX()); },
      [&] { form->Img_Prev.SetHeight(h / vb::Screen::TwipsPerPixelY()); },
      [&] { form->Img_Prev.SetLeft(0); },
      [&] { form->Img_Prev.SetTop(0); },
      [&] { form->Show(0); },
      [&] { form->StayWith(static_cast<std::uint32_t>(parent)); });
}

}  // namespace veltrane::Lumora_B
