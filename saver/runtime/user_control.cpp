#include "saver/runtime/user_control.h"

#include <QMouseEvent>
#include <QPainter>

#include "saver/runtime/mouse.h"
#include "saver/runtime/runtime_error.h"

namespace veltrane::vb {

UserControl::UserControl(Container& container, std::string name)
    : QWidget(container.ContainerWidget()), Control(container, std::move(name)) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  show();
}

void UserControl::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void UserControl::SetBackColor(Color color) {
  backColor_ = color;
  update();
}

void UserControl::paintEvent(QPaintEvent*) {
  {
    QPainter p(this);
    p.fillRect(rect(), ToQColor(backColor_));
    if (!picture_.isNull()) p.drawImage(0, 0, picture_);
  }
  RunEventHandler([this] { UserControl_Paint(); });
}

void UserControl::resizeEvent(QResizeEvent*) { RunEventHandler([this] { UserControl_Resize(); }); }
void UserControl::focusInEvent(QFocusEvent*) { RunEventHandler([this] { UserControl_GotFocus(); }); }
void UserControl::focusOutEvent(QFocusEvent*) { RunEventHandler([this] { UserControl_LostFocus(); }); }

void UserControl::mousePressEvent(QMouseEvent* e) {
  RunEventHandler([&] {
    UserControl_MouseDown(ButtonOf(*e), ShiftOf(e->modifiers()), static_cast<float>(FromPixelsX(e->position().x())),
                        static_cast<float>(FromPixelsY(e->position().y())));
  });
}
void UserControl::mouseMoveEvent(QMouseEvent* e) {
  RunEventHandler([&] {
    UserControl_MouseMove(ButtonOf(*e), ShiftOf(e->modifiers()), static_cast<float>(FromPixelsX(e->position().x())),
                        static_cast<float>(FromPixelsY(e->position().y())));
  });
}
void UserControl::mouseReleaseEvent(QMouseEvent* e) {
  RunEventHandler([&] {
    UserControl_MouseUp(ButtonOf(*e), ShiftOf(e->modifiers()), static_cast<float>(FromPixelsX(e->position().x())),
                      static_cast<float>(FromPixelsY(e->position().y())));
  });
}

}  // namespace veltrane::vb
