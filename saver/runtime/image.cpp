#include "saver/runtime/image.h"

#include <QMouseEvent>
#include <QPainter>

#include "saver/runtime/runtime_error.h"

namespace veltrane::vb {

QImage LoadPicture(const unsigned char* data, std::size_t size) {
  QImage img;
  if (!data || !img.loadFromData(data, static_cast<int>(size))) throw RuntimeError(kErrInvalidPicture);
  return img;
}

Image::Image(Container& container, std::string name)
    : QWidget(container.ContainerWidget()), Control(container, std::move(name)) {
  setAttribute(Qt::WA_TranslucentBackground, false);
  show();
}

void Image::SetPicture(const QImage& picture) {
  picture_ = picture;
  // Without Stretch the control takes the picture's size, as a picture box would.
  if (!stretch_ && !picture_.isNull()) resize(picture_.size());
  update();
}

void Image::SetStretch(bool stretch) {
  stretch_ = stretch;
  if (!stretch_ && !picture_.isNull()) resize(picture_.size());
  update();
}

void Image::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter p(this);
  if (stretch_) {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), picture_);
  } else {
    p.drawImage(0, 0, picture_);
  }
}

void Image::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && OnClick) RunEventHandler(OnClick);
}

}  // namespace veltrane::vb
