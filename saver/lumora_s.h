// Lumora_S, the cover form of saver mode: a black window over the whole screen,
// titled "Lumora_Main", that starts the renderer and ends the saver once the
// renderer's window is gone. It reacts to no mouse or keyboard input.
#pragma once

#include <cstdint>
#include <string>

#include "saver/runtime/form.h"
#include "saver/runtime/timer.h"

namespace veltrane {

class Lumora_S : public vb::Form {
 public:
  Lumora_S();

  std::string RendererPath;
  vb::Timer Timer3{*this, "Timer3"};

 protected:
  void Form_Load() override;
  void Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode) override;

 private:
  void Timer3_Timer();
};

// The program's one cover form (created on first use, never destroyed).
Lumora_S& TheLumora_S();

}  // namespace veltrane
