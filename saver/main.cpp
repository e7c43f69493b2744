// Veltrane.scr: the screen-saver shell.
#include "saver/runtime/application.h"
#include "saver/saver_main.h"

int main(int argc, char** argv) {
  veltrane::vb::Application app(argc, argv);
  veltrane::Lumora_B::Main();
  // The process lives while a form is loaded: the cover form or the preview.
  return app.Run();
}
