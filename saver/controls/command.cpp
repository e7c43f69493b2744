#include "saver/controls/command.h"

#include <cmath>

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMetaClassInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include "saver/controls/face_painter.h"
#include "saver/controls/pointer_window.h"
#include "saver/controls/skins.h"
#include "saver/runtime/twips.h"

namespace veltrane {

namespace {

constexpr int kErrNoContainer = vb::kErrObjectRequired;

std::int16_t ButtonCode(Qt::MouseButtons buttons) {
  std::int16_t code = 0;
  if (buttons & Qt::LeftButton) code |= kLeftButton;
  if (buttons & Qt::RightButton) code |= kRightButton;
  if (buttons & Qt::MiddleButton) code |= kMiddleButton;
  return code;
}

std::int16_t ShiftCode(Qt::KeyboardModifiers modifiers) {
  std::int16_t code = 0;
  if (modifiers & Qt::ShiftModifier) code |= 1;
  if (modifiers & Qt::ControlModifier) code |= 2;
  if (modifiers & Qt::AltModifier) code |= 4;
  return code;
}

float TwipsX(qreal px) { return static_cast<float>(px * vb::TwipsPerPixelX()); }
float TwipsY(qreal px) { return static_cast<float>(px * vb::TwipsPerPixelY()); }

vb::FontSpec FontSpecOf(const QFont& font) {
  vb::FontSpec f;
  f.Name = font.family().toStdString();
  f.Size = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
  f.Weight = font.weight();
  f.Italic = font.italic();
  f.Underline = font.underline();
  f.Strikethrough = font.strikeOut();
  return f;
}

xcb_connection_t* XcbConnection() {
  if (auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
    return x11->connection();
  return nullptr;
}

// The nearest widget at or above `w` that has a window of its own.
QWidget* NativeAncestor(QWidget* w) {
  while (w && !w->internalWinId()) w = w->parentWidget();
  return w;
}

}  // namespace

Command::Command(QWidget* parent) : QWidget(parent), logic_(*this) {
  // A window of its own, so the hover poll can tell the button from whatever
  // covers it; the form around it keeps its single window.
  setAttribute(Qt::WA_DontCreateNativeAncestors);
  setAttribute(Qt::WA_NativeWindow);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);

  LblMsg_ = new QLabel(this);
  LblMsg_->setObjectName(QStringLiteral("LblMsg"));
  LblMsg_->setTextFormat(Qt::PlainText);
  LblMsg_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  LblMsg_->setAutoFillBackground(false);
  LblMsg_->setMouseTracking(true);
  LblMsg_->installEventFilter(this);
  LblMsg_->setText(logic_.Caption());
  SetCaptionFont(logic_.Font());
  SetCaptionColour(logic_.captionColour());
  LblMsg_->setGeometry(0, 0, width(), LblMsg_->height());

  static const char* const kLineNames[4] = {"LeftLine", "TopLine", "RightLine", "BottomLine"};
  for (int i = 0; i < 4; ++i) {
    lines_[i] = new QFrame(this);
    lines_[i]->setObjectName(QString::fromLatin1(kLineNames[i]));
    lines_[i]->setFrameShape(i % 2 == 0 ? QFrame::VLine : QFrame::HLine);
    lines_[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
  }

  TmrMouse_.setObjectName(QStringLiteral("TmrMouse"));
  connect(&TmrMouse_, &QTimer::timeout, this, [this] { logic_.TmrMouse_Timer(); });
}

Command::~Command() = default;

Command* Command::Load(const vb::PropertyBag& bag, QWidget* parent, const QString& name) {
  auto* button = new Command(parent);
  if (!name.isEmpty()) button->setObjectName(name);
  // The container's extent keys: hundredths of a millimetre.
  auto pixels = [](const QVariant& v, double twipsPerPixel) {
    double twips = vb::VarToDouble(v) * 1440.0 / 2540.0;
    return static_cast<int>(std::lround(twips / twipsPerPixel));
  };
  vb::ResumeNext([&] {
    if (bag.Contains(QStringLiteral("_extentx")) && bag.Contains(QStringLiteral("_extenty")))
      button->resize(pixels(bag.ReadProperty(QStringLiteral("_extentx")), vb::TwipsPerPixelX()),
                     pixels(bag.ReadProperty(QStringLiteral("_extenty")), vb::TwipsPerPixelY()));
  });
  button->UserControl_ReadProperties(bag);
  return button;
}

bool Command::IsCommand(const QObject* object) {
  if (!object) return false;
  const QMetaObject* meta = object->metaObject();
  int index = meta->indexOfClassInfo("ProgId");
  return index >= 0 && qstrcmp(meta->classInfo(index).value(), kProgId) == 0;
}

bool Command::LinesVisible() const {
  for (QFrame* line : lines_)
    if (!line->isHidden()) return true;
  return false;
}

void Command::SetVisibleProperty(int value) {
  // The property is a byte; a value outside it is refused as the conversion would.
  if (value < 0 || value > 255) return;
  SetVisible(static_cast<std::uint8_t>(value));
}

// ---------------------------------------------------------------------------
// Events delivered to the button

void Command::paintEvent(QPaintEvent* event) {
  // The face is drawn only on a change of look; an exposure shows it again. A
  // transparent backdrop shows nothing of it, only the caption.
  if (backdrop_ == 0 || face_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(event->rect(), face_, event->rect());
}

void Command::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  logic_.UserControl_Resize();
}

void Command::focusInEvent(QFocusEvent* event) {
  // A window coming back to the front gives its focus back to the same button; that
  // is no new focus for the button.
  if (hasFocus_) return;
  (void)event;
  hasFocus_ = true;
  logic_.UserControl_GotFocus();
}

void Command::focusOutEvent(QFocusEvent* event) {
  // The window going to the back keeps its focus on the button.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
  if (!hasFocus_) return;
  hasFocus_ = false;
  logic_.UserControl_LostFocus();
}

void Command::mousePressEvent(QMouseEvent* event) {
  std::int16_t button = ButtonCode(event->button());
  if (button == 0) return;
  logic_.UserControl_MouseDown(button, ShiftCode(event->modifiers()), TwipsX(event->position().x()),
                               TwipsY(event->position().y()));
}

void Command::mouseMoveEvent(QMouseEvent* event) {
  logic_.UserControl_MouseMove(ButtonCode(event->buttons()), ShiftCode(event->modifiers()),
                               TwipsX(event->position().x()), TwipsY(event->position().y()));
}

void Command::enterEvent(QEnterEvent* event) {
  // The pointer can come over the button without moving (a window under the resting
  // pointer goes away, or the pointer returns to the pixel it left from); Qt then
  // sends no move. Entering counts as a move over the button, so the hover comes
  // back and a click there is not lost.
  logic_.UserControl_MouseMove(ButtonCode(QGuiApplication::mouseButtons()),
                               ShiftCode(QGuiApplication::keyboardModifiers()), TwipsX(event->position().x()),
                               TwipsY(event->position().y()));
}

void Command::mouseReleaseEvent(QMouseEvent* event) {
  std::int16_t button = ButtonCode(event->button());
  if (button == 0) return;
  logic_.UserControl_MouseUp(button, ShiftCode(event->modifiers()), TwipsX(event->position().x()),
                             TwipsY(event->position().y()));
}

bool Command::eventFilter(QObject* watched, QEvent* event) {
  if (watched != LblMsg_) return QWidget::eventFilter(watched, event);
  // The caption's mouse events go to the button's handlers, with the label's own
  // position, as they came.
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (std::int16_t button = ButtonCode(e->button()))
        logic_.LblMsg_MouseDown(button, ShiftCode(e->modifiers()), TwipsX(e->position().x()),
                                TwipsY(e->position().y()));
      return true;
    }
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      logic_.LblMsg_MouseMove(ButtonCode(e->buttons()), ShiftCode(e->modifiers()), TwipsX(e->position().x()),
                              TwipsY(e->position().y()));
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (std::int16_t button = ButtonCode(e->button()))
        logic_.LblMsg_MouseUp(button, ShiftCode(e->modifiers()), TwipsX(e->position().x()),
                              TwipsY(e->position().y()));
      return true;
    }
    default:
      return QWidget::eventFilter(watched, event);
  }
}

// ---------------------------------------------------------------------------
// CommandHost: the face, the caption, the timer and the container

void Command::DrawFace(Look look, bool gradientReversed) {
  const double tppX = vb::TwipsPerPixelX(), tppY = vb::TwipsPerPixelY();
  const double W = width() * tppX, H = height() * tppY;
  ++paintCount_;
  lastLook_ = look;
  vb::ResumeNext(
      [&] {  // Cls
        if (face_.size() != size()) face_ = size().isEmpty() ? QImage() : QImage(size(), QImage::Format_RGB32);
        if (!face_.isNull()) face_.fill(palette().color(QPalette::Button));
      },
      [&] { PaintGradient(face_, gradientReversed); },
      [&] { PaintBorder(face_, SkinPicture(look), BorderPieces(W, H, tppX, tppY)); },
      [&] { update(); },  // Refresh
      [&] {
        double top = CaptionTop(H, LblMsg_->height() * tppY);
        LblMsg_->setGeometry(0, static_cast<int>(std::lround(top / tppY)), width(), LblMsg_->height());
      },
      [&] {
        for (QFrame* line : lines_) line->hide();
      });
}

void Command::SetCaptionEnabled(bool enabled) { LblMsg_->setEnabled(enabled); }

void Command::SetCaptionText(const QString& text) { LblMsg_->setText(text); }

void Command::SetCaptionFont(const vb::FontSpec& font) {
  QFont qfont = vb::ToQFont(font);
  LblMsg_->setFont(qfont);
  // The label is as high as a line of its font; the caption is centred anew at the
  // next paint.
  LblMsg_->resize(LblMsg_->width(), QFontMetrics(qfont).height());
}

void Command::SetCaptionColour(vb::Color colour) {
  QPalette palette = LblMsg_->palette();
  // Only the enabled groups: a disabled caption keeps the platform's greyed text.
  palette.setColor(QPalette::Active, QPalette::WindowText, vb::ToQColor(colour));
  palette.setColor(QPalette::Inactive, QPalette::WindowText, vb::ToQColor(colour));
  LblMsg_->setPalette(palette);
}

void Command::SetBackdrop(std::int16_t style) {
  backdrop_ = style;
  update();
}

void Command::StartHoverPoll(int intervalMs) {
  TmrMouse_.setInterval(intervalMs);
  TmrMouse_.start();
}

void Command::RaiseClick() { emit Click(); }

void Command::PropertyChanged(const QString& name) { emit propertyChanged(name); }

vb::FontSpec Command::AmbientFont() {
  QWidget* container = parentWidget();
  if (!container) throw vb::RuntimeError(kErrNoContainer);
  return FontSpecOf(container->font());
}

ScreenPoint Command::CursorPos() {
  if (xcb_connection_t* connection = XcbConnection()) {
    platform::PointerOnRoot pointer;
    if (!platform::QueryPointer(connection, static_cast<std::uint32_t>(winId()), pointer))
      throw vb::RuntimeError(vb::kErrInvalidProcedureCall);
    pointerRoot_ = pointer.root;
    return {pointer.x, pointer.y};
  }
  QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

NativeWindow Command::WindowFromPoint(ScreenPoint point) {
  if (xcb_connection_t* connection = XcbConnection())
    return platform::WindowAtPoint(connection, pointerRoot_, point.x, point.y);
  // Without X: the widget under the point, by the window it draws in.
  QWidget* w = NativeAncestor(QApplication::widgetAt(QPoint(point.x, point.y)));
  return w ? static_cast<NativeWindow>(w->internalWinId()) : 0;
}

NativeWindow Command::ControlWindow() { return static_cast<NativeWindow>(winId()); }

NativeWindow Command::ContainerWindow() {
  QWidget* container = parentWidget();
  if (!container || !container->window()->internalWinId()) throw vb::RuntimeError(kErrNoContainer);
  return static_cast<NativeWindow>(container->window()->internalWinId());
}

}  // namespace veltrane
