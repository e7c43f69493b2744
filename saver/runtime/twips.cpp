#include "saver/runtime/twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace veltrane::vb {

namespace {
// Without a screen (no application yet) the design resolution of 96 DPI holds.
double Dpi(bool horizontal) {
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    if (QScreen* s = app->primaryScreen()) {
      double dpi = horizontal ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
      if (dpi > 0) return dpi;
    }
  }
  return 96.0;
}
}  // namespace

double TwipsPerPixelX() { return 1440.0 / Dpi(true); }
double TwipsPerPixelY() { return 1440.0 / Dpi(false); }

}  // namespace veltrane::vb
