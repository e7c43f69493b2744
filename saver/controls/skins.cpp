#include "saver/controls/skins.h"

#include <array>
#include <cstddef>

extern const unsigned char veltrane_skin_normal[];
extern const std::size_t veltrane_skin_normal_size;
extern const unsigned char veltrane_skin_highlight[];
extern const std::size_t veltrane_skin_highlight_size;
extern const unsigned char veltrane_skin_highlightselect[];
extern const std::size_t veltrane_skin_highlightselect_size;
extern const unsigned char veltrane_skin_pressed[];
extern const std::size_t veltrane_skin_pressed_size;
extern const unsigned char veltrane_skin_disable[];
extern const std::size_t veltrane_skin_disable_size;
extern const unsigned char veltrane_skin_selected[];
extern const std::size_t veltrane_skin_selected_size;

namespace veltrane {

namespace {

QImage Decode(const unsigned char* data, std::size_t size) {
  QImage image;
  image.loadFromData(data, static_cast<int>(size), "BMP");
  // One pixel format for every face surface and skin.
  return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

const QImage& SkinPicture(Look look) {
  // In the order of Look.
  static const std::array<QImage, kLookCount> skins = {
      Decode(veltrane_skin_normal, veltrane_skin_normal_size),
      Decode(veltrane_skin_highlight, veltrane_skin_highlight_size),
      Decode(veltrane_skin_highlightselect, veltrane_skin_highlightselect_size),
      Decode(veltrane_skin_pressed, veltrane_skin_pressed_size),
      Decode(veltrane_skin_disable, veltrane_skin_disable_size),
      Decode(veltrane_skin_selected, veltrane_skin_selected_size),
  };
  return skins[static_cast<int>(look)];
}

}  // namespace veltrane
