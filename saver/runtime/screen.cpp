#include "saver/runtime/screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "saver/runtime/control.h"
#include "saver/runtime/runtime_error.h"
#include "saver/runtime/twips.h"

namespace veltrane::vb {

namespace {
QSize ScreenPixels() {
  QScreen* s = qGuiApp ? qGuiApp->primaryScreen() : nullptr;
  if (!s) throw RuntimeError(kErrInvalidProcedureCall);
  return s->geometry().size();
}
int g_pointer = kPointerDefault;
}  // namespace

double Screen::Width() { return ScreenPixels().width() * vb::TwipsPerPixelX(); }
double Screen::Height() { return ScreenPixels().height() * vb::TwipsPerPixelY(); }
double Screen::TwipsPerPixelX() { return vb::TwipsPerPixelX(); }
double Screen::TwipsPerPixelY() { return vb::TwipsPerPixelY(); }

int Screen::MousePointer() { return g_pointer; }

void Screen::SetMousePointer(int pointer) {
  if (pointer < 0 || (pointer > 15 && pointer != kPointerCustom)) throw RuntimeError(kErrInvalidProcedureCall);
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
  g_pointer = pointer;
  if (pointer == kPointerDefault) return;
  QGuiApplication::setOverrideCursor(QCursor(pointer == kPointerHourglass ? Qt::WaitCursor : Qt::ArrowCursor));
}

}  // namespace veltrane::vb
