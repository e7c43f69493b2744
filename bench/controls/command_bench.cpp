// How long a face paint takes (it happens on every change of look) and what a
// hover-poll tick costs the button's logic when nothing changes.
#include <benchmark/benchmark.h>

#include <QImage>

#include "saver/controls/command_logic.h"
#include "saver/controls/face_painter.h"
#include "saver/controls/skins.h"

namespace veltrane {
namespace {

void BM_PaintFace(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  QImage face(w, h, QImage::Format_RGB32);
  const QImage& skin = SkinPicture(Look::HighLight);
  const auto pieces = BorderPieces(w * 15.0, h * 15.0, 15.0, 15.0);
  for (auto _ : state) {
    face.fill(Qt::white);
    PaintGradient(face, true);
    PaintBorder(face, skin, pieces);
    benchmark::DoNotOptimize(face.constBits());
  }
  state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + " px");
}
BENCHMARK(BM_PaintFace)->Args({73, 25})->Args({300, 60});

// A host that answers the poll with the button's own window and draws nothing.
class QuietHost : public CommandHost {
 public:
  int draws = 0;
  void DrawFace(Look, bool) override { ++draws; }
  void SetCaptionEnabled(bool) override {}
  void SetCaptionText(const QString&) override {}
  void SetCaptionFont(const vb::FontSpec&) override {}
  void SetCaptionColour(vb::Color) override {}
  void SetBackdrop(std::int16_t) override {}
  void StartHoverPoll(int) override {}
  void RaiseClick() override {}
  void PropertyChanged(const QString&) override {}
  vb::FontSpec AmbientFont() override { return {}; }
  ScreenPoint CursorPos() override { return {}; }
  NativeWindow WindowFromPoint(ScreenPoint) override { return 1; }
  NativeWindow ControlWindow() override { return 1; }
  NativeWindow ContainerWindow() override { return 2; }
};

void BM_PollTickWhileHovered(benchmark::State& state) {
  QuietHost host;
  CommandLogic button(host);
  button.UserControl_ReadProperties(vb::PropertyBag());
  button.Initialize();
  button.UserControl_MouseMove(0, 0, 0, 0);
  const int drawsBefore = host.draws;
  for (auto _ : state) button.TmrMouse_Timer();
  state.counters["paints"] = host.draws - drawsBefore;
}
BENCHMARK(BM_PollTickWhileHovered);

}  // namespace
}  // namespace veltrane
