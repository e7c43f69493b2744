// Veltrane.scr: the screen-saver shell.
#include "saver/runtime/application.h"
#include "saver/runtime/process.h"
#include "saver/saver_main.h"
#include "saver/shell_windows.h"
#include "saver/wayland_saver.h"

int main(int argc, char** argv) {
  // In a Wayland session the saver runs without Qt: its xcb platform needs X.
  if (const std::optional<int> code = veltrane::RunWaylandSaver(argc, argv)) return *code;
  veltrane::vb::Application app(argc, argv);
  // A renderer killed outright cannot give the display mode back itself.
  veltrane::vb::OnProgramKilled([](pid_t) { veltrane::GiveBackAbandonedDisplayMode(); });
  veltrane::Lumora_B::Main();
  // The process lives while a form is loaded: the cover form or the preview.
  return app.Run();
}
