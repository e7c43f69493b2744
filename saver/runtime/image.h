// The image control: shows a picture, at its own size or stretched to fill the
// control (Stretch).
#pragma once

#include <cstddef>
#include <functional>

#include <QImage>
#include <QWidget>

#include "saver/runtime/control.h"

namespace veltrane::vb {

// Decodes a picture held in memory (JPEG, PNG, BMP); raises run-time error 481
// (invalid picture) when it cannot.
QImage LoadPicture(const unsigned char* data, std::size_t size);
inline constexpr int kErrInvalidPicture = 481;

class Image : public QWidget, public Control {
 public:
  Image(Container& container, std::string name);
  QWidget* Widget() override { return this; }

  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& picture);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch);

  std::function<void()> OnClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QImage picture_;
  bool stretch_ = false;
};

}  // namespace veltrane::vb
