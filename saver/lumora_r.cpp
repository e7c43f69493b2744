#include "saver/lumora_r.h"

#include <QCoreApplication>
#include <QTimer>

#include "saver/preview_still.h"
#include "saver/runtime/runtime.h"

namespace veltrane {

Lumora_R::Lumora_R() : Form("Lumora_R") {
  SetCaption(kPreviewCaption);
  SetBackColor(vb::kBlack);
  SetBorderStyle(vb::kBorderNone);
  SetScaleMode(vb::ScaleMode::Pixels);
  vb::ResumeNext([&] { Img_Prev.SetPicture(vb::LoadPicture(kPreviewStill, kPreviewStill_size)); });
  Img_Prev.SetStretch(true);
  Img_Prev.Move(0, 0, 152, 112);
}

void Lumora_R::StayWith(unsigned long parent) {
  if (!vb::WatchWindowGone(parent, [this] { Unload(); })) throw vb::RuntimeError(vb::kErrInvalidProcedureCall);
}

void Lumora_R::Form_Unload(std::int16_t& cancel) {
  (void)cancel;
  // Nothing else is loaded in preview mode and Main has returned: with this form
  // gone the process has nothing left to do, so its event loop is told to end.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
}

Lumora_R& TheLumora_R() {
  static auto* form = new Lumora_R();
  return *form;
}

}  // namespace veltrane
