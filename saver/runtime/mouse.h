// Mouse events as the shell's handlers receive them: the button (1 left, 2 right,
// 4 middle), the shift state (1 Shift, 2 Ctrl, 4 Alt) and the position in the
// receiving object's scale units.
#pragma once

#include <cstdint>
#include <functional>

#include <QMouseEvent>

namespace veltrane::vb {

inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;

using MouseHandler = std::function<void(std::int16_t button, std::int16_t shift, float x, float y)>;

// The one button that changed (press, release), or the buttons held (move).
inline std::int16_t ButtonOf(Qt::MouseButtons b) {
  std::int16_t v = 0;
  if (b & Qt::LeftButton) v |= kLeftButton;
  if (b & Qt::RightButton) v |= kRightButton;
  if (b & Qt::MiddleButton) v |= kMiddleButton;
  return v;
}
inline std::int16_t ButtonOf(const QMouseEvent& e) {
  return ButtonOf(e.type() == QEvent::MouseMove ? e.buttons() : Qt::MouseButtons(e.button()));
}
inline std::int16_t ShiftOf(Qt::KeyboardModifiers m) {
  std::int16_t v = 0;
  if (m & Qt::ShiftModifier) v |= 1;
  if (m & Qt::ControlModifier) v |= 2;
  if (m & Qt::AltModifier) v |= 4;
  return v;
}

}  // namespace veltrane::vb
