#include "saver/runtime/label.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPalette>

#include "saver/runtime/runtime_error.h"

namespace veltrane::vb {

Label::Label(Container& container, std::string name)
    : QLabel(container.ContainerWidget()), Control(container, std::move(name)) {
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setTextFormat(Qt::PlainText);
  setMouseTracking(true);
  QLabel::setFont(ToQFont(font_));
  ApplyLook();
  show();
}

std::string Label::Caption() const { return text().toStdString(); }

void Label::SetCaption(const std::string& caption) {
  setText(QString::fromStdString(caption));
  if (autoSize_) FitToText();
}

void Label::SetForeColor(Color color) {
  foreColor_ = color;
  ApplyLook();
}
void Label::SetBackColor(Color color) {
  backColor_ = color;
  ApplyLook();
}
void Label::SetBackStyle(int style) {
  backStyle_ = style;
  ApplyLook();
}
void Label::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  if (autoSize_) FitToText();
}
void Label::SetFont(const FontSpec& font) {
  font_ = font;
  QLabel::setFont(ToQFont(font_));
  if (autoSize_) FitToText();
}

void Label::ApplyLook() {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, ToQColor(foreColor_));
  p.setColor(QPalette::Window, ToQColor(backColor_));
  setPalette(p);
  // A transparent label lets its container's drawing show through.
  setAutoFillBackground(backStyle_ == kBackOpaque);
  update();
}

void Label::FitToText() {
  // The extent of the text, as the text-extent measure of the window system gives it.
  QFontMetrics fm(QLabel::font());
  int widest = 0;
  const QStringList lines = text().split('\n');
  for (const QString& line : lines) widest = std::max(widest, fm.horizontalAdvance(line));
  resize(widest, fm.height() * static_cast<int>(lines.size()));
}

float Label::X(const QMouseEvent& e) const {
  return static_cast<float>(Parent().FromPixelsX(e.position().x()));
}
float Label::Y(const QMouseEvent& e) const {
  return static_cast<float>(Parent().FromPixelsY(e.position().y()));
}

void Label::mousePressEvent(QMouseEvent* e) {
  pressed_ = true;
  if (OnMouseDown) RunEventHandler([&] { OnMouseDown(ButtonOf(*e), ShiftOf(e->modifiers()), X(*e), Y(*e)); });
}

void Label::mouseMoveEvent(QMouseEvent* e) {
  if (OnMouseMove) RunEventHandler([&] { OnMouseMove(ButtonOf(*e), ShiftOf(e->modifiers()), X(*e), Y(*e)); });
}

void Label::mouseReleaseEvent(QMouseEvent* e) {
  if (OnMouseUp) RunEventHandler([&] { OnMouseUp(ButtonOf(*e), ShiftOf(e->modifiers()), X(*e), Y(*e)); });
  bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
  pressed_ = false;
  if (click && OnClick) RunEventHandler(OnClick);
}

}  // namespace veltrane::vb
