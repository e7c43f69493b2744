// The configuration dialog running for real on a private Xvfb (with a window
// manager): how long sampling the logo takes and how long the dialog goes
// between two event pumps meanwhile, whole frames per second (update pass,
// event pumping, transfer to the screen), and how long a click waits before
// the dialog's event pumping delivers it, measured against the frame time.
//
// Usage: dialog_frames_bench [seconds of frames, default 4]
// Qt before the Xvfb support, which brings in Xlib and its macros.
#include <QApplication>
#include <QEvent>
#include <QObject>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "saver/dialog/lumora_p.h"
#include "saver/runtime/application.h"
#include "saver/runtime/window_system.h"
#include "support/xvfb_session.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

// Notes when a button release reaches any widget of the program, and in which
// frame's event pumping.
class ReleaseWatch : public QObject {
 public:
  explicit ReleaseWatch(const int& frames) : frames_(frames) {}
  Clock::time_point lastRelease{};
  int releaseFrame = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonRelease) {
      lastRelease = Clock::now();
      releaseFrame = frames_;
    }
    return false;
  }

 private:
  const int& frames_;
};

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
  veltrane::testing::XvfbSession session({1024, 768, 24, true});
  if (!session.ok()) {
    std::fprintf(stderr, "could not start a private Xvfb\n");
    return 1;
  }
  for (const std::string& entry : session.env()) putenv(strdup(entry.c_str()));

  int qtArgc = 1;
  veltrane::vb::Application app(qtArgc, argv);

  using Phase = veltrane::Lumora_P::Phase;
  veltrane::Lumora_P form;
  Clock::time_point samplingStart, lastRow, samplingEnd, lastFrame, framesStart, clickSent{};
  std::vector<double> rowGaps, frameTimes, clickWaits;
  int frames = 0, clickFrame = 0, clicks = 0;
  // Clicks delivered at the 1st, 2nd, 3rd or a later event pumping after they
  // were sent: [0] sent just before the next frame, [1] given 3 ms to reach the
  // program first (what remains is the dialog's own wait).
  std::vector<int> pumpsWaited[2] = {std::vector<int>(4, 0), std::vector<int>(4, 0)};
  bool clickPending = false, settled = false, clickedLastFrame = false;
  ReleaseWatch watch(frames);
  qApp->installEventFilter(&watch);

  form.Observer = [&](Phase phase) {
    Clock::time_point now = Clock::now();
    switch (phase) {
      case Phase::SamplingStarts:
        samplingStart = lastRow = now;
        break;
      case Phase::RowSampled:
        rowGaps.push_back(Ms(now - lastRow));
        lastRow = now;
        break;
      case Phase::SamplingEnds:
        samplingEnd = now;
        break;
      case Phase::FrameDone: {
        ++frames;
        if (frames == 20) framesStart = now;  // past the first frames
        // Frames that sent a click spent time on it; they are left out.
        if (frames > 20 && !clickedLastFrame) frameTimes.push_back(Ms(now - lastFrame));
        clickedLastFrame = false;
        if (clickPending && watch.lastRelease > clickSent) {
          clickWaits.push_back(Ms(watch.lastRelease - clickSent));
          ++pumpsWaited[settled ? 1 : 0][static_cast<std::size_t>(std::min(watch.releaseFrame - clickFrame, 3))];
          clickPending = false;
        }
        // Every 25 frames, a click on the logo (which has no click handler),
        // sent at varying points inside a frame.
        if (frames > 20 && !clickPending && frames % 25 == 0) {
          veltrane::vb::Rect r;
          veltrane::vb::GetWindowRect(form.hWnd(), r);
          session.MovePointer(r.left + 100, r.top + 100);
          session.Sync();
          clickSent = Clock::now();
          clickFrame = frames;
          session.Button(1, true);
          session.Button(1, false);
          session.Sync();
          settled = (++clicks % 2) == 0;
          if (settled) std::this_thread::sleep_for(std::chrono::milliseconds(3));
          clickPending = true;
          clickedLastFrame = true;
        }
        lastFrame = Clock::now();
        if (frames > 20 && Ms(now - framesStart) > seconds * 1000) form.animating = 0;  // False
        break;
      }
    }
  };

  form.Load();  // runs until the frame loop stops

  double frameSpan = frameTimes.empty() ? 0 : Ms(lastFrame - framesStart);
  std::printf("dialog %dx%d surface, %s\n", form.picW, form.picH, session.name().c_str());
  std::printf("sampling: %.1f ms for %zu rows; between two event pumps: median %.3f ms, max %.3f ms\n",
              Ms(samplingEnd - samplingStart), rowGaps.size(), Percentile(rowGaps, 0.5),
              Percentile(rowGaps, 1.0));
  std::printf("frames: %zu in %.0f ms = %.1f frames/s; frame time median %.2f ms, 95%% %.2f ms, max %.2f ms\n",
              frameTimes.size(), frameSpan, frameSpan > 0 ? 1000.0 * frameTimes.size() / frameSpan : 0.0,
              Percentile(frameTimes, 0.5), Percentile(frameTimes, 0.95), Percentile(frameTimes, 1.0));
  std::printf("click to delivery (both kinds): %zu clicks, median %.2f ms, max %.2f ms (one frame: %.2f ms)\n",
              clickWaits.size(), Percentile(clickWaits, 0.5), Percentile(clickWaits, 1.0),
              Percentile(frameTimes, 0.5));
  for (int k = 0; k < 2; ++k) {
    const std::vector<int>& w = pumpsWaited[k];
    std::printf("%s: delivered by the 1st event pumping after sending %d, the 2nd %d, the 3rd %d, later %d\n",
                k == 0 ? "clicks sent just before a frame" : "clicks given 3 ms to reach the program", w[0], w[1],
                w[2], w[3]);
  }
  return 0;
}
