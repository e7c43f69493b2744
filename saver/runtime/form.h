// A form: a top-level window with controls and the load / show / unload life of
// the shell's forms. A form class derives from Form, declares its controls as
// members (constructed with *this as their container) and overrides the handlers
// it has:
//
//   class Lumora_S : public vb::Form {
//    public:
//     Lumora_S() : Form("Lumora_S") { Timer3.OnTimer = [this] { Timer3_Timer(); }; }
//    protected:
//     void Form_Load() override;
//     void Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode) override;
//    private:
//     vb::Timer Timer3{*this, "Timer3"};
//   };
//
// Load creates the window hidden and runs Form_Load; Show(0) shows it and returns,
// Show(1) shows it modally and returns when it is closed. Unload runs
// Form_QueryUnload, then Form_Unload, then destroys the window; a close request
// from the window system, and SIGTERM / SIGHUP / SIGINT, take the same path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QIcon>

#include "saver/runtime/color.h"
#include "saver/runtime/control.h"

class QEventLoop;
class QWidget;

namespace veltrane::vb {

// Why a form is unloaded (the unloadMode argument of Form_QueryUnload).
inline constexpr std::int16_t kFormControlMenu = 0;   // closed from the window (window manager close)
inline constexpr std::int16_t kFormCode = 1;          // Unload called by the program
inline constexpr std::int16_t kAppWindows = 2;        // the session ends (SIGHUP)
inline constexpr std::int16_t kAppTaskManager = 3;    // ended from outside (SIGTERM, SIGINT)

// Window states.
inline constexpr int kStateNormal = 0;
inline constexpr int kStateMinimized = 1;
inline constexpr int kStateMaximized = 2;

// Frame styles, fixed before the form loads.
inline constexpr int kBorderNone = 0;
inline constexpr int kBorderFixedSingle = 1;
inline constexpr int kBorderSizable = 2;
inline constexpr int kBorderFixedDialog = 3;

// Window style bits, as the preview start-up reads and changes them.
inline constexpr std::int32_t kWsChild = 0x40000000;
inline constexpr std::int32_t kWsVisible = 0x10000000;
inline constexpr std::int32_t kWsCaption = 0x00C00000;

class FormWindow;

class Form : public Container {
 public:
  explicit Form(std::string name);
  ~Form() override;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  QWidget* ContainerWidget() override;
  QWidget* Window();

  // Creates the native window (hidden) and runs Form_Load. Loading a loaded form does nothing.
  void Load();
  // 0: show and return once the window is on screen. 1: modal; returns when the
  // form is unloaded or hidden.
  // Loads the form first when it is not loaded.
  void Show(int modal = 0);
  void Hide();
  // Form_QueryUnload(cancel, kFormCode), Form_Unload(cancel), then the window is destroyed.
  // Returns false when a handler cancelled.
  bool Unload() { return UnloadFor(kFormCode); }
  bool UnloadFor(std::int16_t unloadMode);
  bool IsLoaded() const { return loaded_; }

  // The X window id of the form's window (created when needed).
  unsigned long hWnd();

  std::string Caption() const;
  void SetCaption(const std::string& caption);

  // Outer position and size in twips. The size includes the window manager's
  // frame once the window is mapped and framed; before that it is the client size.
  double Left() const;
  double Top() const;
  double Width() const;
  double Height() const;
  void SetLeft(double twips);
  void SetTop(double twips);
  void SetWidth(double twips);
  void SetHeight(double twips);
  void Move(double left, double top);
  void Move(double left, double top, double width, double height);
  // The client area in twips (the design size of a form).
  void SetClientSize(double widthTwips, double heightTwips);
  // The client area in the form's scale units.
  double ScaleWidth() const;
  double ScaleHeight() const;

  Color BackColor() const { return backColor_; }
  void SetBackColor(Color color);

  int WindowState() const;
  void SetWindowState(int state);

  int BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int style);
  void SetIcon(const QIcon& icon);

  // The window is a child window of another (foreign) X window: no frame, and its
  // position is relative to that window's client area.
  bool IsChildWindow() const { return childWindow_; }
  void SetChildWindow(bool child);
  // The style bits of the form's window; of those set, only kWsChild has an
  // effect (SetChildWindow).
  std::int32_t WindowStyle() const;
  void SetWindowStyle(std::int32_t style);
  // Re-parents the form's window into the X window `parent` (0: back to the root).
  void SetParentWindow(unsigned long parent);

  // Every form that is loaded now, in load order.
  static std::vector<Form*> LoadedForms();
  // Unloads every loaded form for the given reason (used for outside close requests).
  static void UnloadAll(std::int16_t unloadMode);

 protected:
  virtual void Form_Load() {}
  virtual void Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode) {
    (void)cancel;
    (void)unloadMode;
  }
  virtual void Form_Unload(std::int16_t& cancel) { (void)cancel; }
  virtual void Form_Resize() {}

 private:
  friend class FormWindow;
  static constexpr int kShowWaitMs = 500;
  void ApplyFrame();
  void WaitUntilOnScreen();
  void OnCloseRequest();
  void FinishUnload();

  std::string name_;
  std::unique_ptr<FormWindow> window_;
  Color backColor_ = RGB(240, 240, 240);  // a dialog face until set
  int borderStyle_ = kBorderSizable;
  bool childWindow_ = false;
  bool loaded_ = false;
  QEventLoop* modalLoop_ = nullptr;
};

}  // namespace veltrane::vb
