#include "saver/runtime/form.h"

#include <algorithm>
#include <cmath>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPalette>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "saver/runtime/application.h"
#include "saver/runtime/runtime_error.h"
#include "saver/runtime/twips.h"
#include "saver/runtime/window_system.h"

namespace veltrane::vb {

namespace {
std::vector<Form*>& Loaded() {
  static std::vector<Form*> forms;
  return forms;
}
int Px(double v) { return static_cast<int>(std::lround(v)); }
}  // namespace

// The Qt window of a form: turns the window system's close request into the
// form's unload and tells the form about size changes.
class FormWindow : public QWidget {
 public:
  explicit FormWindow(Form& form) : form_(form) {}

 protected:
  void closeEvent(QCloseEvent* e) override {
    // The unload runs from the queue, like any other window message, so the
    // window is never destroyed inside its own close event.
    e->ignore();
    QTimer::singleShot(0, this, [this] { form_.OnCloseRequest(); });
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    RunEventHandler([this] { form_.Form_Resize(); });
  }

 private:
  Form& form_;
};

Form::Form(std::string name) : name_(std::move(name)), window_(std::make_unique<FormWindow>(*this)) {
  window_->setAttribute(Qt::WA_QuitOnClose, false);
  window_->setAutoFillBackground(true);
  SetBackColor(backColor_);
  ApplyFrame();
}

Form::~Form() {
  auto& list = Loaded();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

QWidget* Form::ContainerWidget() { return window_.get(); }
QWidget* Form::Window() { return window_.get(); }

void Form::ApplyFrame() {
  Qt::WindowFlags flags = Qt::Window;
  if (childWindow_ || borderStyle_ == kBorderNone) {
    flags |= Qt::FramelessWindowHint;
  } else if (borderStyle_ == kBorderFixedSingle || borderStyle_ == kBorderFixedDialog) {
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    if (borderStyle_ == kBorderFixedSingle) flags |= Qt::WindowMinimizeButtonHint;
  }
  if (window_->windowFlags() != flags) {
    bool visible = window_->isVisible();
    window_->setWindowFlags(flags);
    if (visible) window_->show();
  }
  if (borderStyle_ == kBorderFixedSingle || borderStyle_ == kBorderFixedDialog)
    window_->setFixedSize(window_->size());
}

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  Loaded().push_back(this);
  window_->winId();  // the native window exists from here on, hidden
  Form_Load();
}

void Form::Show(int modal) {
  if (modal != 0 && modal != 1) throw RuntimeError(kErrInvalidProcedureCall);
  if (!loaded_) {
    Load();
    if (!loaded_) return;  // unloaded while loading
  }
  if (modal == 1 && window_->windowModality() != Qt::ApplicationModal) {
    bool visible = window_->isVisible();
    if (visible) window_->hide();
    window_->setWindowModality(Qt::ApplicationModal);
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
  FlushWindowSystem();
  WaitUntilOnScreen();
  if (modal == 1) {
    QEventLoop loop;
    modalLoop_ = &loop;
    loop.exec();
    modalLoop_ = nullptr;
  }
}

// A shown form is on the screen when Show returns (the cover must be before the
// renderer starts): the window is mapped, by a window manager too, and exposed.
// The wait is bounded for windows that never appear (a child of a hidden window).
void Form::WaitUntilOnScreen() {
  QWindow* w = window_->windowHandle();
  if (!w) return;
  QElapsedTimer clock;
  clock.start();
  // Sleeps until the next event rather than spinning: the X server (and a window
  // manager) need the processor to map the window. The timer bounds the sleep.
  QTimer deadline;
  deadline.setSingleShot(true);
  while (!w->isExposed() && clock.elapsed() < kShowWaitMs) {
    deadline.start(static_cast<int>(kShowWaitMs - clock.elapsed()));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
  }
}

void Form::Hide() {
  window_->hide();
  if (modalLoop_) modalLoop_->quit();
}

bool Form::UnloadFor(std::int16_t unloadMode) {
  if (!loaded_) return true;
  std::int16_t cancel = 0;
  Form_QueryUnload(cancel, unloadMode);
  if (cancel != 0) return false;
  if (!loaded_) return true;  // the handler unloaded the form itself
  cancel = 0;
  Form_Unload(cancel);
  if (cancel != 0) return false;
  if (loaded_) FinishUnload();
  return true;
}

void Form::FinishUnload() {
  loaded_ = false;
  auto& list = Loaded();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  window_->hide();
  if (QWindow* w = window_->windowHandle()) w->destroy();
  if (modalLoop_) modalLoop_->quit();
  NotifyFormUnloaded();
}

void Form::OnCloseRequest() {
  RunEventHandler([this] { UnloadFor(kFormControlMenu); });
}

std::vector<Form*> Form::LoadedForms() { return Loaded(); }

void Form::UnloadAll(std::int16_t unloadMode) {
  for (Form* f : LoadedForms()) f->UnloadFor(unloadMode);
}

unsigned long Form::hWnd() { return static_cast<unsigned long>(window_->winId()); }

std::string Form::Caption() const { return window_->windowTitle().toStdString(); }
void Form::SetCaption(const std::string& caption) { window_->setWindowTitle(QString::fromStdString(caption)); }

double Form::Left() const { return TwipsFromPixelsX(window_->frameGeometry().x()); }
double Form::Top() const { return TwipsFromPixelsY(window_->frameGeometry().y()); }
double Form::Width() const { return TwipsFromPixelsX(window_->frameGeometry().width()); }
double Form::Height() const { return TwipsFromPixelsY(window_->frameGeometry().height()); }

void Form::SetLeft(double twips) { Move(twips, Top()); }
void Form::SetTop(double twips) { Move(Left(), twips); }

void Form::SetWidth(double twips) {
  int frame = window_->frameGeometry().width() - window_->width();
  int client = std::max(0, Px(PixelsFromTwipsX(twips)) - frame);
  if (window_->minimumWidth() == window_->maximumWidth()) window_->setFixedWidth(client);
  window_->resize(client, window_->height());
}

void Form::SetHeight(double twips) {
  int frame = window_->frameGeometry().height() - window_->height();
  int client = std::max(0, Px(PixelsFromTwipsY(twips)) - frame);
  if (window_->minimumHeight() == window_->maximumHeight()) window_->setFixedHeight(client);
  window_->resize(window_->width(), client);
}

void Form::Move(double left, double top) { window_->move(Px(PixelsFromTwipsX(left)), Px(PixelsFromTwipsY(top))); }

void Form::Move(double left, double top, double width, double height) {
  Move(left, top);
  SetWidth(width);
  SetHeight(height);
}

void Form::SetClientSize(double widthTwips, double heightTwips) {
  int w = std::max(0, Px(PixelsFromTwipsX(widthTwips)));
  int h = std::max(0, Px(PixelsFromTwipsY(heightTwips)));
  if (borderStyle_ == kBorderFixedSingle || borderStyle_ == kBorderFixedDialog) window_->setFixedSize(w, h);
  window_->resize(w, h);
}

double Form::ScaleWidth() const { return FromPixelsX(window_->width()); }
double Form::ScaleHeight() const { return FromPixelsY(window_->height()); }

void Form::SetBackColor(Color color) {
  backColor_ = color;
  QPalette p = window_->palette();
  p.setColor(QPalette::Window, ToQColor(color));
  window_->setPalette(p);
  window_->update();
}

int Form::WindowState() const {
  Qt::WindowStates s = window_->windowState();
  if (s & Qt::WindowMinimized) return kStateMinimized;
  if (s & Qt::WindowMaximized) return kStateMaximized;
  return kStateNormal;
}

void Form::SetWindowState(int state) {
  switch (state) {
    case kStateNormal: window_->setWindowState(Qt::WindowNoState); break;
    case kStateMinimized: window_->setWindowState(Qt::WindowMinimized); break;
    case kStateMaximized: window_->setWindowState(Qt::WindowMaximized); break;
    default: throw RuntimeError(kErrInvalidProcedureCall);
  }
}

void Form::SetBorderStyle(int style) {
  if (style < kBorderNone || style > kBorderFixedDialog) throw RuntimeError(kErrInvalidProcedureCall);
  borderStyle_ = style;
  ApplyFrame();
}

void Form::SetIcon(const QIcon& icon) { window_->setWindowIcon(icon); }

void Form::SetChildWindow(bool child) {
  childWindow_ = child;
  if (QWindow* w = window_->windowHandle()) {
    // Changing the widget's flags would re-create the native window (and its id);
    // the native window takes the frameless hint in place.
    w->setFlag(Qt::FramelessWindowHint, child || borderStyle_ == kBorderNone);
  } else {
    ApplyFrame();
  }
}

std::int32_t Form::WindowStyle() const {
  std::int32_t style = 0;
  if (childWindow_) style |= kWsChild;
  if (window_->isVisible()) style |= kWsVisible;
  if (!childWindow_ && borderStyle_ != kBorderNone) style |= kWsCaption;
  return style;
}

void Form::SetWindowStyle(std::int32_t style) { SetChildWindow((style & kWsChild) != 0); }

void Form::SetParentWindow(unsigned long parent) {
  window_->winId();
  QWindow* host = parent ? QWindow::fromWinId(static_cast<WId>(parent)) : nullptr;
  if (parent && !host) throw RuntimeError(kErrInvalidProcedureCall);
  window_->windowHandle()->setParent(host);
}

}  // namespace veltrane::vb
