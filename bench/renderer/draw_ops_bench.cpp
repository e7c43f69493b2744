// Per-frame time of the literal immediate-mode executor against the batched one,
// at 1024 x 768 on the display in $DISPLAY (llvmpipe under Xvfb):
//   xvfb-run -s "-screen 0 1024x768x24" build/bench/renderer/renderer_draw_ops_bench
// "Play" figures are one frame's operations drawn and finished (glFinish); "Frame"
// figures add the frame step and the buffer swap, as the renderer's loop does.
// Real time is reported, since llvmpipe rasterises on worker threads.
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <GL/glx.h>

#include <cstdio>
#include <cstdlib>

#include "renderer/draw_ops.h"
#include "renderer/particle_field.h"
#include "renderer/scene.h"

namespace {

using namespace veltrane;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

struct GlWindow {
  Display* display = nullptr;
  ::Window window = 0;
  GLXContext context = nullptr;
};

GlWindow* TheGlWindow() {
  static GlWindow* gl = [] {
    auto* w = new GlWindow;
    w->display = XOpenDisplay(nullptr);
    if (!w->display) return w;
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1,
                        GLX_BLUE_SIZE, 1, GLX_DEPTH_SIZE, 16, 0};
    XVisualInfo* visual = glXChooseVisual(w->display, DefaultScreen(w->display), attributes);
    if (!visual) return w;
    const ::Window root = DefaultRootWindow(w->display);
    XSetWindowAttributes wa{};
    wa.colormap = XCreateColormap(w->display, root, visual->visual, AllocNone);
    w->window = XCreateWindow(w->display, root, 0, 0, kWidth, kHeight, 0, visual->depth, InputOutput,
                              visual->visual, CWColormap, &wa);
    XMapWindow(w->display, w->window);
    w->context = glXCreateContext(w->display, visual, nullptr, True);
    XFree(visual);
    if (!w->context || !glXMakeCurrent(w->display, w->window, w->context)) w->context = nullptr;
    return w;
  }();
  return gl;
}

// A scene some 300 frames into a run, as the renderer draws it.
struct Scene {
  DrawOpList ops;
  std::int64_t frame = 0;
  unsigned char windowStandIn[64] = {};
  unsigned char keysStandIn[1024] = {};
  Scene() {
    PrepareScene(*reinterpret_cast<RendererWindow*>(windowStandIn),
                 *reinterpret_cast<KeyStates*>(keysStandIn));
    SetProjection(kWidth, kHeight);
    for (; frame < 300; ++frame) Step();
  }
  void Step() { StepParticleField(TheParticleField(), TheRandomSource(), 1700000000 + frame / 60, ops); }
};

Scene& TheScene() {
  static Scene* scene = new Scene;
  return *scene;
}

template <void (*Play)(const DrawOpList&, unsigned int)>
void BM_Play(benchmark::State& state) {
  Scene& scene = TheScene();
  for (auto _ : state) {
    Play(scene.ops, SpriteTexture());
    glFinish();
  }
}

template <void (*Play)(const DrawOpList&, unsigned int)>
void BM_Frame(benchmark::State& state) {
  Scene& scene = TheScene();
  GlWindow* gl = TheGlWindow();
  for (auto _ : state) {
    scene.Step();
    ++scene.frame;
    Play(scene.ops, SpriteTexture());
    glXSwapBuffers(gl->display, gl->window);
    glFinish();
  }
}

BENCHMARK_TEMPLATE(BM_Play, PlayDrawOps)->Name("Play/immediate")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Play, PlayDrawOpsBatched)->Name("Play/batched")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Frame, PlayDrawOps)->Name("Frame/immediate")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Frame, PlayDrawOpsBatched)->Name("Frame/batched")->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  GlWindow* gl = TheGlWindow();
  if (!gl->display || !gl->context) {
    std::fprintf(stderr, "needs an X display with GLX in $DISPLAY, e.g. run it under "
                         "xvfb-run -s \"-screen 0 1024x768x24\"\n");
    return 1;
  }
  std::printf("GL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
