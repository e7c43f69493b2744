// Renders the preview still (assets/preview_still.jpg) from the renderer's own
// scene: the particle field is run for a while off screen, one frame in the
// saver's violet is drawn at the renderer's 1024 x 768 with GLX, and the picture
// is scaled down to the 152 x 112 of the preview.
//
// Needs an X server with GLX; run it on a private one, e.g.
//   xvfb-run -s "-screen 0 1024x768x24" build/tools/make_preview_still assets/preview_still.jpg
// Qt before Xlib: Xlib's macros (Status, None) break Qt's headers.
#include <QImage>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "renderer/draw_ops.h"
#include "renderer/particle_field.h"
#include "renderer/renderer_main.h"
#include "renderer/scene.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr int kStillWidth = 152, kStillHeight = 112;
constexpr int kWarmUpFrames = 600;   // the field fills out from its seeded start
constexpr int kMaxFrames = 20000;
constexpr int kFramesPerSecond = 60;  // how often the renderer's clock seed changes

// The saver's own starting tint is violet (red 0.5, green 0.1, blue 0.9); a frame
// whose tint is of that family shows it best.
bool IsViolet(const veltrane::Tint& t) {
  return t.blue >= 0.6f && t.red >= 0.3f && t.red < t.blue && t.green <= 0.3f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.jpg>\n", argv[0]);
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "no X display (run under xvfb-run)\n");
    return 1;
  }
  int attrs[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, None};
  XVisualInfo* vi = glXChooseVisual(d, DefaultScreen(d), attrs);
  if (!vi) {
    std::fprintf(stderr, "no GLX visual\n");
    return 1;
  }
  XSetWindowAttributes swa{};
  swa.colormap = XCreateColormap(d, RootWindow(d, vi->screen), vi->visual, AllocNone);
  swa.override_redirect = True;
  Window w = XCreateWindow(d, RootWindow(d, vi->screen), 0, 0, kWidth, kHeight, 0, vi->depth, InputOutput,
                           vi->visual, CWColormap | CWOverrideRedirect, &swa);
  XMapWindow(d, w);
  XSync(d, False);
  GLXContext ctx = glXCreateContext(d, vi, nullptr, True);
  if (!ctx || !glXMakeCurrent(d, w, ctx)) {
    std::fprintf(stderr, "no GL context\n");
    return 1;
  }

  veltrane::KeyStates keys;
  veltrane::RendererWindow window;
  window.keys = &keys;
  window.width = kWidth;
  window.height = kHeight;
  veltrane::PrepareScene(window, keys);
  veltrane::SetProjection(kWidth, kHeight);

  veltrane::ParticleField& field = veltrane::TheParticleField();
  veltrane::RandomSource& random = veltrane::TheRandomSource();
  veltrane::DrawOpList ops;
  const std::int64_t startSeconds = 1700000000;
  int frame = 0;
  const veltrane::DrawOpList* last = nullptr;
  for (; frame < kMaxFrames; ++frame) {
    last = &veltrane::StepParticleField(field, random, startSeconds + frame / kFramesPerSecond, ops);
    if (frame >= kWarmUpFrames && IsViolet(field.tint)) break;
  }
  veltrane::PlayDrawOps(*last, veltrane::SpriteTexture());
  glFinish();

  std::vector<unsigned char> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  QImage full(kWidth, kHeight, QImage::Format_RGB888);
  for (int y = 0; y < kHeight; ++y)  // GL rows run bottom up
    std::copy_n(&rgb[static_cast<size_t>(kHeight - 1 - y) * kWidth * 3], kWidth * 3, full.scanLine(y));
  QImage still = full.scaled(kStillWidth, kStillHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  bool ok = still.save(QString::fromLocal8Bit(argv[1]), "JPEG", 92);

  glXMakeCurrent(d, None, nullptr);
  glXDestroyContext(d, ctx);
  XDestroyWindow(d, w);
  XCloseDisplay(d);
  std::printf("frame %d, tint %.2f %.2f %.2f -> %s\n", frame, field.tint.red, field.tint.green, field.tint.blue,
              ok ? argv[1] : "(not written)");
  return ok ? 0 : 1;
}
