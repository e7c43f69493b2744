#include "saver/runtime/picture_box.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

#include "saver/runtime/runtime_error.h"
#include "saver/runtime/twips.h"

namespace veltrane::vb {

PictureBox::PictureBox(Container& container, std::string name)
    : QWidget(container.ContainerWidget()), Control(container, std::move(name)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  QWidget::setFont(ToQFont(font_));
  ResizeImage();
  show();
}

double PictureBox::ToPxX(double v) const { return scaleMode_ == ScaleMode::Pixels ? v : PixelsFromTwipsX(v); }
double PictureBox::ToPxY(double v) const { return scaleMode_ == ScaleMode::Pixels ? v : PixelsFromTwipsY(v); }
double PictureBox::FromPxX(double v) const { return scaleMode_ == ScaleMode::Pixels ? v : TwipsFromPixelsX(v); }
double PictureBox::FromPxY(double v) const { return scaleMode_ == ScaleMode::Pixels ? v : TwipsFromPixelsY(v); }

void PictureBox::SetBorderStyle(int style) {
  if (style != 0 && style != 1) throw RuntimeError(kErrInvalidProcedureCall);
  borderStyle_ = style;
  ResizeImage();
  update();
}

double PictureBox::ScaleWidth() const { return FromPxX(image_.width()); }
double PictureBox::ScaleHeight() const { return FromPxY(image_.height()); }

void PictureBox::SetBackColor(Color color) {
  backColor_ = color;
  Cls();
  update();
}

void PictureBox::SetFont(const FontSpec& font) {
  font_ = font;
  QWidget::setFont(ToQFont(font_));
}

void PictureBox::ResizeImage() {
  int w = std::max(0, width() - 2 * Border());
  int h = std::max(0, height() - 2 * Border());
  if (!image_.isNull() && image_.width() == w && image_.height() == h) return;
  QImage next(w, h, QImage::Format_RGB32);
  // Text drawn into the image measures as it would on the screen.
  next.setDotsPerMeterX(static_cast<int>(std::lround(logicalDpiX() / 0.0254)));
  next.setDotsPerMeterY(static_cast<int>(std::lround(logicalDpiY() / 0.0254)));
  next.fill(ToQColor(backColor_));
  if (!image_.isNull()) {
    QPainter p(&next);
    p.drawImage(0, 0, image_);
  }
  image_ = next;
}

void PictureBox::resizeEvent(QResizeEvent*) { ResizeImage(); }

void PictureBox::Cls() {
  image_.fill(ToQColor(backColor_));
  currentX_ = currentY_ = 0;
}

double PictureBox::TextWidth(const std::string& text) const {
  QFontMetricsF fm(QWidget::font(), &image_);
  double widest = 0;
  for (const QString& line : QString::fromStdString(text).split('\n'))
    widest = std::max(widest, fm.horizontalAdvance(line));
  return FromPxX(widest);
}

double PictureBox::TextHeight(const std::string& text) const {
  QFontMetricsF fm(QWidget::font(), &image_);
  auto lines = QString::fromStdString(text).split('\n').size();
  return FromPxY(fm.height() * static_cast<double>(lines));
}

void PictureBox::Print(const std::string& text, bool newline) {
  QString s = QString::fromStdString(text);
  QPainter p(&image_);
  p.setFont(QWidget::font());
  p.setRenderHint(QPainter::TextAntialiasing);
  QFontMetricsF fm(QWidget::font(), &image_);
  double x = ToPxX(currentX_), y = ToPxY(currentY_);
  if (!fontTransparent_) p.fillRect(QRectF(x, y, fm.horizontalAdvance(s), fm.height()), ToQColor(backColor_));
  p.setPen(ToQColor(foreColor_));
  p.drawText(QPointF(x, y + fm.ascent()), s);
  if (newline) {
    currentX_ = 0;
    currentY_ = FromPxY(y + fm.height());
  } else {
    currentX_ = FromPxX(x + fm.horizontalAdvance(s));
  }
}

Color PictureBox::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return kInvalidColor;
  return FromQRgb(image_.pixel(x, y));
}

std::int32_t PictureBox::Point(double x, double y) const {
  Color c = GetPixel(static_cast<int>(std::floor(ToPxX(x))), static_cast<int>(std::floor(ToPxY(y))));
  return c == kInvalidColor ? -1 : static_cast<std::int32_t>(c);
}

int PictureBox::GetBits(std::uint8_t* dst, int width, int height) const {
  if (!dst || width <= 0 || height <= 0) return 0;
  std::size_t stride = DibRowBytes(width);
  int cols = std::min(width, image_.width());
  int copied = 0;
  for (int row = 0; row < height; ++row) {
    int y = height - 1 - row;  // buffer rows count from the bottom of the picture
    if (y >= image_.height()) continue;
    const auto* line = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
    std::uint8_t* out = dst + stride * static_cast<std::size_t>(row);
    for (int x = 0; x < cols; ++x) {
      out[3 * x] = static_cast<std::uint8_t>(qBlue(line[x]));
      out[3 * x + 1] = static_cast<std::uint8_t>(qGreen(line[x]));
      out[3 * x + 2] = static_cast<std::uint8_t>(qRed(line[x]));
    }
    ++copied;
  }
  return copied;
}

void PictureBox::SetBits(const std::uint8_t* src, int width, int height) {
  if (!src || width <= 0 || height <= 0) return;
  std::size_t stride = DibRowBytes(width);
  int cols = std::min(width, image_.width());
  for (int row = 0; row < height; ++row) {
    int y = height - 1 - row;
    if (y >= image_.height()) continue;
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
    const std::uint8_t* in = src + stride * static_cast<std::size_t>(row);
    for (int x = 0; x < cols; ++x) line[x] = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
  }
}

void PictureBox::Refresh() { repaint(); }

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (Border()) qDrawShadePanel(&p, rect(), palette(), true, Border());
  p.drawImage(Border(), Border(), image_);
}

void PictureBox::mousePressEvent(QMouseEvent* e) {
  pressed_ = true;
  if (OnMouseDown)
    RunEventHandler([&] {
      OnMouseDown(ButtonOf(*e), ShiftOf(e->modifiers()), static_cast<float>(FromPxX(e->position().x() - Border())),
                static_cast<float>(FromPxY(e->position().y() - Border())));
    });
}

void PictureBox::mouseMoveEvent(QMouseEvent* e) {
  if (OnMouseMove)
    RunEventHandler([&] {
      OnMouseMove(ButtonOf(*e), ShiftOf(e->modifiers()), static_cast<float>(FromPxX(e->position().x() - Border())),
                static_cast<float>(FromPxY(e->position().y() - Border())));
    });
}

void PictureBox::mouseReleaseEvent(QMouseEvent* e) {
  if (OnMouseUp)
    RunEventHandler([&] {
      OnMouseUp(ButtonOf(*e), ShiftOf(e->modifiers()), static_cast<float>(FromPxX(e->position().x() - Border())),
              static_cast<float>(FromPxY(e->position().y() - Border())));
    });
  bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
  pressed_ = false;
  if (click && OnClick) RunEventHandler(OnClick);
}

}  // namespace veltrane::vb
