#include "saver/dialog/lumora_p.h"

#include <QCursor>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QWidget>
#include <QWindow>

#include "saver/controls/command.h"
#include "saver/runtime/application.h"
#include "saver/runtime/clock_random.h"
#include "saver/runtime/color.h"
#include "saver/runtime/fonts.h"
#include "saver/runtime/property_bag.h"
#include "saver/runtime/runtime_error.h"
#include "saver/runtime/screen.h"
#include "saver/runtime/twips.h"
#include "saver/runtime/window_system.h"
#include "saver/saver_main.h"

extern const unsigned char kHandPointerPng[];
extern const std::size_t kHandPointerPng_size;
extern const unsigned char kDialogIconPng[];
extern const std::size_t kDialogIconPng_size;

namespace veltrane {

namespace {

constexpr vb::Color kLightGrey = vb::RGB(224, 224, 224);
constexpr int kErrNoSuchElement = 340;  // control array element doesn't exist

vb::FontSpec TextFont(bool underline) {
  vb::FontSpec f;
  f.Name = "ＭＳ Ｐゴシック";
  f.Size = 9.75;
  f.Weight = 400;
  f.Underline = underline;
  f.Charset = vb::kCharsetShiftJis;
  return f;
}

vb::FontSpec LogoFont() {
  vb::FontSpec f;
  f.Name = "Verdana";
  f.Size = 20.25;
  f.Weight = 700;
  f.Charset = vb::kCharsetWestern;
  return f;
}

// Cmd_OK as the form stores it: its extent in hundredths of a millimetre, its
// caption and its font; every other property is at its default.
vb::PropertyBag StoredCmdOk() {
  vb::PropertyBag bag;
  bag.Set("_extentx", 1931);
  bag.Set("_extenty", 661);
  bag.Set("caption", QStringLiteral("OK"));
  bag.Set("font", vb::FontValue(TextFont(false)));
  return bag;
}

QPixmap EmbeddedPicture(const unsigned char* data, std::size_t size) {
  QPixmap p;
  p.loadFromData(data, static_cast<uint>(size), "PNG");
  return p;
}

}  // namespace

ZoomPoint ZoomPointFor(const std::optional<platform::CursorPoint>& cursor) {
  if (!cursor) return {};
  return {static_cast<std::int16_t>(cursor->x), static_cast<std::int16_t>(cursor->y)};
}

float RuntimeRandom::Next() { return vb::Rnd(); }

Lumora_P::Lumora_P() : Form("Lumora_P"), Cmd_OK(*this, "Cmd_OK", StoredCmdOk()) {
  // The form as designed; its background turns black on load.
  SetCaption(kDialogCaption);
  SetBorderStyle(vb::kBorderFixedSingle);
  SetClientSize(7440, 4620);
  SetIcon(QIcon(EmbeddedPicture(kDialogIconPng, kDialogIconPng_size)));

  Display.SetBorderStyle(0);
  Display.SetBackColor(vb::kBlack);
  Display.Move(180, 180, 7020, 3660);
  Display.SetScaleMode(vb::ScaleMode::Pixels);
  Display.SetForeColor(vb::kWhite);
  Display.SetFont(LogoFont());
  Display.SetFontTransparent(true);

  for (vb::Label* label : {&lbl_7, &lbl_URL}) {
    label->SetBackStyle(vb::kBackTransparent);
    label->SetForeColor(kLightGrey);
    label->SetAutoSize(true);
  }
  lbl_7.SetFont(TextFont(false));
  lbl_7.SetCaption(kCreditLine);
  lbl_7.Move(180, 3960);
  lbl_URL.SetFont(TextFont(true));
  lbl_URL.SetCaption(kMakerAddress);
  lbl_URL.Move(180, 4140);
  lbl_URL.SetMouseIcon(QCursor(EmbeddedPicture(kHandPointerPng, kHandPointerPng_size), kHandHotSpotX,
                               kHandHotSpotY));
  lbl_URL.SetMousePointer(vb::kPointerCustom);
  lbl_URL.OnClick = [this] { lbl_URL_Click(); };

  Cmd_OK.Move(6120, 4020, 1095, 375);
  QObject::connect(&Cmd_OK.Button(), &Command::Click, Window(),
                   [this] { vb::RunEventHandler([this] { Cmd_OK_Click(); }); });
}

Lumora_P::~Lumora_P() = default;

vb::Label& Lumora_P::lbl(int index) {
  if (index != 7) throw vb::RuntimeError(kErrNoSuchElement);
  return lbl_7;
}

void Lumora_P::Form_Load() {
  vb::ResumeNext(
      [&] { SetBackColor(vb::kBlack); },
      [&] {
        // Centred across the screen, a third of the free height down, frame
        // included. The form has not been shown yet, so neither its size nor its
        // position knows of the frame: the window manager is asked how big it
        // will be, and the client area is placed inside it.
        platform::FrameExtents frame = platform::WindowFrameExtents(hWnd());
        double width = ScaleWidth() + vb::TwipsFromPixelsX(frame.left + frame.right);
        double height = ScaleHeight() + vb::TwipsFromPixelsY(frame.top + frame.bottom);
        std::int32_t left = vb::IntDiv(vb::Screen::Width() - width, 2);
        std::int32_t top = vb::IntDiv(vb::Screen::Height() - height, 3);
        Move(left + vb::TwipsFromPixelsX(frame.left), top + vb::TwipsFromPixelsY(frame.top));
        // Qt keeps a hidden window's move to itself until the window shows; the
        // window system learns the place now, so that the opening zoom, which
        // asks the window system, ends where the dialog will stand. A window
        // manager carries the move out on the program's behalf, a moment later.
        QRect place = Window()->geometry();
        if (QWindow* native = Window()->windowHandle()) native->setGeometry(place);
        vb::FlushWindowSystem();
        platform::WaitForWindowAt(hWnd(), place.x(), place.y());
      },
      [&] { setbuttons(*this, vb::True, vb::True); },
      [&] {
        platform::CursorPoint cursor;
        ZoomPoint zoom = ZoomPointFor(platform::GetCursorPos(cursor)
                                          ? std::optional<platform::CursorPoint>(cursor)
                                          : std::nullopt);
        Lumora_B::ZoomX = zoom.x;
        Lumora_B::ZoomY = zoom.y;
      },
      [&] { Lumora_B::ZoomOpen(hWnd()); },
      [&] {
        picW = vb::CInt(Display.ScaleWidth());
        picH = vb::CInt(Display.ScaleHeight());
      },
      [&] { getbits(); },
      [&] { Initialize(); },
      [&] { animating = vb::False; },
      [&] { Show(0); },
      [&] { drawlogo(); });
}

void Lumora_P::Cmd_OK_Click() {
  vb::ResumeNext([&] { animating = vb::False; }, [&] { Unload(); });
}

void Lumora_P::Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode) {
  (void)cancel;
  (void)unloadMode;
  // The zoom back to the point saved on load. Should it fail, the process must
  // still end: the frame loop below this handler would otherwise run on behind
  // a form that is half closed.
  vb::TryStep([&] { Lumora_B::ZoomClose(hWnd()); });
  vb::End();
}

void Lumora_P::lbl_URL_Click() {
  vb::ResumeNext(
      [&] { vb::Screen::SetMousePointer(vb::kPointerHourglass); },
      [&] {
        std::vector<std::string> environment;
        if (vb::Application* app = vb::Application::Instance()) environment = app->StartEnvironment();
        platform::OpenAddress(lbl_URL.Caption(), environment);  // its result is not looked at
      },
      [&] { vb::Screen::SetMousePointer(vb::kPointerDefault); });
}

void Lumora_P::setbuttons(vb::Form& form, vb::Boolean doInit, vb::Boolean enable) {
  for (vb::Control* control : form.Controls()) {
    if (!Command::IsCommand(control->Widget())) continue;
    vb::TryStep([&] {
      if (doInit != vb::False)
        control->CallByName("Initialize");
      else
        control->LetByName("Enabled", enable);
    });
  }
}

}  // namespace veltrane
