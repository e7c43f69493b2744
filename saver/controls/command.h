// The gradient push button `Command` (programmatic identifier "Lumora.Command")
// on Qt Widgets: a widget with an X window of its own, its caption label `LblMsg`
// (no window of its own, so the pointer over the caption counts as over the
// button), the hover-polling timer `TmrMouse` and a persistent face picture that
// paint events show again without redrawing it.
//
// A container uses it like this:
//
//   vb::PropertyBag stored;            // "_extentx", "_extenty", "caption", "font", ...
//   Command* ok = Command::Load(stored, form, "Cmd_OK");
//   ok->move(...);
//   QObject::connect(ok, &Command::Click, form, [] { ... });
//   QMetaObject::invokeMethod(ok, "Initialize");     // or ok->Initialize()
//   ok->setProperty("Enabled", true);                // or ok->SetEnabled(vb::True)
//
// Do not delete the button from inside its Click handler; use deleteLater().
#pragma once

#include <array>
#include <cstdint>

#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "saver/controls/command_logic.h"
#include "saver/runtime/property_bag.h"

class QFrame;
class QLabel;

namespace veltrane {

class Command : public QWidget, private CommandHost {
  Q_OBJECT
  Q_CLASSINFO("ProgId", "Lumora.Command")
  // The properties a container reaches by name. Reading Enabled, FontColour or
  // Visible has the accessors' side effects (a repaint).
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Enabled READ EnabledProperty WRITE SetEnabledProperty)
  Q_PROPERTY(uint FontColour READ FontColour WRITE SetFontColour)
  Q_PROPERTY(int Visible READ VisibleProperty WRITE SetVisibleProperty)

 public:
  static constexpr const char* kProgId = "Lumora.Command";

  // A new button: every member zero (disabled until its properties are read or
  // Enabled is first read), caption "Command" in the design font.
  explicit Command(QWidget* parent = nullptr);
  ~Command() override;

  // A button as a container loads it from its stored form: created, sized by the
  // stored extent ("_extentx", "_extenty", hundredths of a millimetre) when present,
  // then its stored properties read. The container then places it and calls
  // Initialize.
  static Command* Load(const vb::PropertyBag& bag, QWidget* parent, const QString& name = QString());
  // Whether a control is a Command button (by its programmatic identifier).
  static bool IsCommand(const QObject* object);

  // State Idle and hover polling every 100 ms; no repaint.
  Q_INVOKABLE void Initialize() { logic_.Initialize(); }

  QString Caption() const { return logic_.Caption(); }
  void SetCaption(const QString& caption) { logic_.SetCaption(caption); }
  vb::Boolean Enabled() { return logic_.Enabled(); }
  void SetEnabled(vb::Boolean value) { logic_.SetEnabled(value); }
  vb::FontSpec Font() const { return logic_.Font(); }
  void SetFont(const vb::FontSpec& font) { logic_.SetFont(font); }
  vb::Color FontColour() { return logic_.FontColour(); }
  void SetFontColour(vb::Color colour) { logic_.SetFontColour(colour); }
  std::uint8_t Visible() { return logic_.Visible(); }
  void SetVisible(std::uint8_t value) { logic_.SetVisible(value); }

  void UserControl_ReadProperties(const vb::PropertyBag& bag) { logic_.UserControl_ReadProperties(bag); }
  void UserControl_WriteProperties(vb::PropertyBag& bag) { logic_.UserControl_WriteProperties(bag); }

  // For inspection: the state machine, the face as last painted, the caption
  // label, the look last painted and how many paints there were.
  const CommandLogic& Logic() const { return logic_; }
  const QImage& Face() const { return face_; }
  QLabel* LblMsg() const { return LblMsg_; }
  Look LastLook() const { return lastLook_; }
  int PaintCount() const { return paintCount_; }
  bool LinesVisible() const;

 signals:
  // The button's only event.
  void Click();
  // A persisted property changed (so that a designing container saves it).
  void propertyChanged(const QString& name);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool EnabledProperty() { return Enabled() != vb::False; }
  void SetEnabledProperty(bool value) { SetEnabled(vb::ToBoolean(value)); }
  int VisibleProperty() { return Visible(); }
  void SetVisibleProperty(int value);

  // CommandHost
  void DrawFace(Look look, bool gradientReversed) override;
  void SetCaptionEnabled(bool enabled) override;
  void SetCaptionText(const QString& text) override;
  void SetCaptionFont(const vb::FontSpec& font) override;
  void SetCaptionColour(vb::Color colour) override;
  void SetBackdrop(std::int16_t style) override;
  void StartHoverPoll(int intervalMs) override;
  void RaiseClick() override;
  void PropertyChanged(const QString& name) override;
  vb::FontSpec AmbientFont() override;
  ScreenPoint CursorPos() override;
  NativeWindow WindowFromPoint(ScreenPoint point) override;
  NativeWindow ControlWindow() override;
  NativeWindow ContainerWindow() override;

  CommandLogic logic_;
  QLabel* LblMsg_ = nullptr;
  QTimer TmrMouse_;
  std::array<QFrame*, 4> lines_{};  // LeftLine, TopLine, RightLine, BottomLine
  QImage face_;
  std::int16_t backdrop_ = 1;
  bool hasFocus_ = false;  // focus inside the window, as the handlers saw it
  std::uint32_t pointerRoot_ = 0;
  Look lastLook_ = Look::Normal;
  int paintCount_ = 0;
};

}  // namespace veltrane
