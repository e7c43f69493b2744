// Lumora_R, the preview form: the still picture of the running saver, embedded
// as a child of the host's preview window and stretched to fill it.
#pragma once

#include <cstdint>

#include "saver/runtime/form.h"
#include "saver/runtime/image.h"

namespace veltrane {

inline constexpr const char* kPreviewCaption = "Preview Window";

class Lumora_R : public vb::Form {
 public:
  Lumora_R();

  vb::Image Img_Prev{*this, "Img_Prev"};

  // Unloads the form when the host window `parent` is destroyed.
  void StayWith(unsigned long parent);

 protected:
  void Form_Unload(std::int16_t& cancel) override;
};

Lumora_R& TheLumora_R();

}  // namespace veltrane
