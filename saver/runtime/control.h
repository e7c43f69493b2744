// What every control on a form or user control has: a name, a container, a
// position and size in the container's scale units, visibility, and late-bound
// access by name (the configuration dialog walks its controls and calls a method
// or sets a property by name).
#pragma once

#include <string>
#include <string_view>
#include <vector>

class QCursor;
class QWidget;

namespace veltrane::vb {

class Control;

// Units in which a container measures the controls placed on it.
enum class ScaleMode { Twips = 1, Pixels = 3 };

// A form or a user control: something that holds controls.
class Container {
 public:
  virtual ~Container() = default;
  // The widget that the contained controls are children of.
  virtual QWidget* ContainerWidget() = 0;

  ScaleMode GetScaleMode() const { return scaleMode_; }
  void SetScaleMode(ScaleMode mode) { scaleMode_ = mode; }
  // Conversions between this container's scale units and pixels.
  double ToPixelsX(double units) const;
  double ToPixelsY(double units) const;
  double FromPixelsX(double pixels) const;
  double FromPixelsY(double pixels) const;

  // Every control, in the order it was placed on the container.
  const std::vector<Control*>& Controls() const { return controls_; }

 private:
  friend class Control;
  ScaleMode scaleMode_ = ScaleMode::Twips;
  std::vector<Control*> controls_;
};

// Standard mouse pointers of a control or of the screen.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerArrow = 1;
inline constexpr int kPointerHourglass = 11;
inline constexpr int kPointerCustom = 99;

class Control {
 public:
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Container& Parent() const { return *container_; }
  // The control's widget; nullptr for a control without a window (a timer).
  virtual QWidget* Widget() { return nullptr; }

  // Position and size in the container's scale units.
  double Left() const;
  double Top() const;
  double Width() const;
  double Height() const;
  void SetLeft(double v);
  void SetTop(double v);
  void SetWidth(double v);
  void SetHeight(double v);
  void Move(double left, double top);
  void Move(double left, double top, double width, double height);

  bool Visible() const;
  void SetVisible(bool visible);
  virtual bool Enabled() const;
  virtual void SetEnabled(bool enabled);

  // The control's own mouse pointer; kPointerCustom uses the cursor given to SetMouseIcon.
  void SetMousePointer(int pointer);
  void SetMouseIcon(const QCursor& cursor);

  // Late-bound calls. Unknown names raise run-time error 438 (object doesn't
  // support this property or method).
  virtual void CallByName(std::string_view method);
  virtual void LetByName(std::string_view property, double value);

 protected:
  Control(Container& container, std::string name);
  // Called after a size change made through this interface.
  virtual void OnResized() {}

 private:
  Container* container_;
  std::string name_;
};

inline constexpr int kErrNoSuchMember = 438;

}  // namespace veltrane::vb
