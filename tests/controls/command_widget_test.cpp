// The Command widget on Qt's offscreen platform: loading the dialog's stored
// button, real paints of each look, the caption, the backdrop, keys, the caption's
// mouse events and access by name.
#include <memory>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include "saver/controls/command.h"
#include "saver/controls/command_control.h"
#include "saver/controls/skins.h"

namespace veltrane {
namespace {

void EnsureApp() {
  static QApplication* app = [] {
    // Offscreen only: nothing here may reach the desktop the tests were started from.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    static int argc = 1;
    static char name[] = "controls_widget_test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  (void)app;
}

vb::PropertyBag DialogBag() {
  vb::FontSpec font;
  font.Name = "ＭＳ Ｐゴシック";
  font.Size = 9.75;
  font.Weight = 400;
  font.Charset = vb::kCharsetShiftJis;
  vb::PropertyBag bag;
  bag.Set("_extentx", 1931);
  bag.Set("_extenty", 661);
  bag.Set("caption", QStringLiteral("OK"));
  bag.Set("font", vb::FontValue(font));
  return bag;
}

// The darkest pixel (sum of channels) inside a rectangle of a picture.
int Darkest(const QImage& image, QRect r) {
  int darkest = 3 * 255;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      QRgb p = image.pixel(x, y);
      darkest = std::min(darkest, qRed(p) + qGreen(p) + qBlue(p));
    }
  return darkest;
}

class CommandWidget : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    form = std::make_unique<QWidget>();
    form->resize(200, 100);
    // Something else takes the focus first, so the button starts unfocused.
    other = new QWidget(form.get());
    other->setFocusPolicy(Qt::StrongFocus);
    other->setGeometry(0, 0, 10, 10);
    button = Command::Load(DialogBag(), form.get(), "Cmd_OK");
    button->move(60, 40);
    QObject::connect(button, &Command::Click, [this] { ++clicks; });
    form->show();
    QApplication::processEvents();
    button->Initialize();
  }
  void TearDown() override { form.reset(); }

  void Send(QObject* target, QEvent::Type type, Qt::MouseButton b, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(5, 5), QPointF(65, 45), b, held, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
  }
  void Move() { Send(button, QEvent::MouseMove, Qt::NoButton, Qt::NoButton); }
  void Focus(QEvent::Type type) {
    QFocusEvent e(type, Qt::TabFocusReason);
    QApplication::sendEvent(button, &e);
  }
  int Red(int x, int y) const { return qRed(button->Face().pixel(x, y)); }

  std::unique_ptr<QWidget> form;
  QWidget* other = nullptr;
  Command* button = nullptr;
  int clicks = 0;
};

TEST_F(CommandWidget, TheDialogsStoredButtonLoadsAsAnEnabledOkButtonWithItsFace) {
  EXPECT_EQ(button->objectName(), "Cmd_OK");
  EXPECT_EQ(button->size(), QSize(73, 25)) << "from the stored extent";
  EXPECT_EQ(button->Caption(), "OK");
  EXPECT_EQ(button->LblMsg()->text(), "OK");
  EXPECT_EQ(button->Logic().enabled, vb::True);
  EXPECT_EQ(button->Logic().firstRun, 1);
  EXPECT_EQ(button->Logic().State, kIdle);
  EXPECT_EQ(button->LblMsg()->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::black));
  EXPECT_EQ(QFontInfo(button->LblMsg()->font()).family(), "IPAPGothic");
  EXPECT_EQ(button->LblMsg()->font().pointSizeF(), 9.75);
  EXPECT_EQ(button->LastLook(), Look::Normal);
  EXPECT_FALSE(button->LinesVisible());

  const QImage& face = button->Face();
  ASSERT_EQ(face.size(), QSize(73, 25));
  const QImage& skin = SkinPicture(Look::Normal);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(face.pixel(x, y), skin.pixel(x, y));
      EXPECT_EQ(face.pixel(69 + x, 21 + y), skin.pixel(60 + x, 21 + y));
    }
  // The gradient's first and last interior rows: white at the top for Idle.
  // 0xFF00 + (0xC600 - 0xFF00) * 4 / 24 = 0xF580; * 20 / 24 = 0xCF80.
  EXPECT_EQ(Red(36, 4), 0xF5);
  EXPECT_EQ(Red(36, 20), 0xCF);
}

TEST_F(CommandWidget, EachLookIsPaintedWithTheGradientOfItsState) {
  Move();  // Hover: HighLight over the tint at the top
  EXPECT_EQ(button->Logic().State, kHover);
  EXPECT_EQ(button->Face().pixel(30, 2), qRgb(0xFF, 0xF0, 0xCF));
  EXPECT_EQ(Red(36, 4), 0xCF);
  EXPECT_EQ(Red(36, 20), 0xF5);

  Focus(QEvent::FocusIn);  // FocusedHover from Hover: Pressed, the tint still at the top
  EXPECT_EQ(button->Logic().State, kFocusedHover);
  EXPECT_EQ(button->LastLook(), Look::Pressed);
  EXPECT_EQ(button->Face().pixel(30, 2), qRgb(0x00, 0x3C, 0x74));
  EXPECT_EQ(Red(36, 4), 0xCF);

  Focus(QEvent::FocusOut);  // Idle: Normal, white at the top
  EXPECT_EQ(button->Logic().State, kIdle);
  EXPECT_EQ(button->LastLook(), Look::Normal);
  EXPECT_EQ(Red(36, 4), 0xF5);

  Focus(QEvent::FocusIn);  // Focused: Selected, white at the top
  EXPECT_EQ(button->Face().pixel(30, 22), qRgb(0x69, 0x82, 0xEE));
  EXPECT_EQ(Red(36, 4), 0xF5);
  Move();  // FocusedHover from Focused: HighLightSelect over white at the top
  EXPECT_EQ(button->LastLook(), Look::HighLightSelect);
  EXPECT_EQ(button->Face().pixel(30, 22), qRgb(0xE5, 0x97, 0x00));
  EXPECT_EQ(Red(36, 4), 0xF5);
}

TEST_F(CommandWidget, TheCaptionIsCentredOverTheFullWidth) {
  QLabel* label = button->LblMsg();
  // The design's label is 195 twips (13 pixels) high; its top is then 80 twips.
  label->resize(label->width(), 13);
  button->SetEnabled(vb::True);  // a repaint re-centres the caption
  EXPECT_EQ(label->geometry(), QRect(0, 5, 73, 13));  // 80 twips = 5.33 pixels
  EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
  // A taller caption takes effect at the next paint.
  label->resize(73, 19);
  EXPECT_EQ(label->y(), 5);
  Move();
  EXPECT_EQ(label->y(), 2);  // (375 - 285 - 20) / 2 = 35 twips
}

TEST_F(CommandWidget, AnExposureShowsTheFaceAgainWithoutRepaintingIt) {
  Move();
  int paints = button->PaintCount();
  QImage shown = button->grab().toImage();
  button->repaint();
  form->hide();
  form->show();
  QApplication::processEvents();
  EXPECT_EQ(button->PaintCount(), paints);
  EXPECT_EQ(shown.pixel(1, 1), button->Face().pixel(1, 1));
  EXPECT_EQ(shown.pixel(36, 22), button->Face().pixel(36, 22));
}

TEST_F(CommandWidget, ResizingDownToNothingRepaintsWithoutFault) {
  for (QSize size : {QSize(6, 25), QSize(3, 3), QSize(0, 0), QSize(73, 25)}) {
    SCOPED_TRACE(size.width());
    int paints = button->PaintCount();
    button->resize(size);
    EXPECT_EQ(button->PaintCount(), paints + 1);
    EXPECT_EQ(button->Face().size(), size.isEmpty() ? QSize(0, 0) : size);
  }
  EXPECT_EQ(button->Face().pixel(0, 0), SkinPicture(Look::Normal).pixel(0, 0));
}

TEST_F(CommandWidget, KeysDoNothing) {
  Focus(QEvent::FocusIn);
  int paints = button->PaintCount();
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QStringLiteral(" "));
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(button, &press);
    QApplication::sendEvent(button, &release);
  }
  EXPECT_EQ(button->Logic().State, kFocused);
  EXPECT_EQ(button->PaintCount(), paints);
  EXPECT_EQ(clicks, 0);
}

TEST_F(CommandWidget, MouseEventsOverTheCaptionActLikeThoseOverTheFace) {
  QLabel* label = button->LblMsg();
  Send(label, QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(button->Logic().State, kHover);
  Send(label, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(button->LastLook(), Look::Pressed);
  Send(label, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(clicks, 1);
  Send(button, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(clicks, 2) << "a right release clicks too";
}

TEST_F(CommandWidget, ATransparentBackdropShowsOnlyTheCaption) {
  form->setAutoFillBackground(true);
  QPalette p = form->palette();
  p.setColor(QPalette::Window, Qt::red);
  form->setPalette(p);
  const QRect captionArea = button->LblMsg()->geometry().translated(button->pos());

  button->SetVisible(0);
  QImage shown = form->grab().toImage();
  EXPECT_EQ(shown.pixel(60 + 36, 40 + 22), qRgb(255, 0, 0));
  EXPECT_EQ(shown.pixel(60 + 1, 40 + 1), qRgb(255, 0, 0));
  EXPECT_LT(Darkest(shown, captionArea), 150) << "the caption text stays";
  EXPECT_EQ(button->Visible(), 0);

  button->SetVisible(1);
  shown = form->grab().toImage();
  EXPECT_EQ(shown.pixel(60 + 1, 40 + 1), button->Face().pixel(1, 1));
  EXPECT_EQ(button->Visible(), 255);
}

TEST_F(CommandWidget, ADisabledButtonShowsTheDisableLookWithAGreyedCaption) {
  const QRect captionArea = button->LblMsg()->geometry();
  int enabledInk = Darkest(button->grab().toImage(), captionArea);
  button->SetEnabled(vb::False);
  EXPECT_EQ(button->LastLook(), Look::Disable);
  EXPECT_EQ(button->Face().pixel(30, 1), qRgb(0xC9, 0xC7, 0xBA));
  EXPECT_FALSE(button->LblMsg()->isEnabled());
  EXPECT_TRUE(button->isEnabled()) << "the widget itself stays enabled";
  int disabledInk = Darkest(button->grab().toImage(), captionArea);
  EXPECT_GT(disabledInk, enabledInk + 100);
  Move();
  EXPECT_EQ(button->LastLook(), Look::Disable);
}

TEST_F(CommandWidget, InitializeAndEnabledAreReachableByName) {
  EXPECT_TRUE(Command::IsCommand(button));
  EXPECT_FALSE(Command::IsCommand(form.get()));
  auto fresh = std::make_unique<Command>(form.get());
  EXPECT_EQ(fresh->Logic().State, 0);
  EXPECT_TRUE(QMetaObject::invokeMethod(fresh.get(), "Initialize"));
  EXPECT_EQ(fresh->Logic().State, kIdle);
  EXPECT_TRUE(fresh->setProperty("Enabled", false));
  EXPECT_EQ(fresh->LastLook(), Look::Disable);
  EXPECT_TRUE(fresh->setProperty("Enabled", true));
  EXPECT_EQ(fresh->LastLook(), Look::Normal);
  EXPECT_EQ(fresh->property("Caption").toString(), "Command");
}

// A container of the form runtime with the button among its controls.
struct Panel : vb::Container {
  QWidget widget;
  QWidget* ContainerWidget() override { return &widget; }
};

TEST_F(CommandWidget, AsAFormControlItIsListedAndTakesCallsByName) {
  Panel panel;
  CommandControl control(panel, "Cmd_OK", DialogBag());
  ASSERT_EQ(panel.Controls().size(), 1u);
  auto* listed = dynamic_cast<CommandControl*>(panel.Controls()[0]);
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(listed->Button().Caption(), "OK");
  EXPECT_EQ(listed->Widget()->parentWidget(), &panel.widget);
  listed->CallByName("Initialize");
  EXPECT_EQ(listed->Button().Logic().State, kIdle);
  listed->LetByName("Enabled", 0);
  EXPECT_EQ(listed->Button().LastLook(), Look::Disable);
  EXPECT_TRUE(listed->Widget()->isEnabled());
  EXPECT_FALSE(listed->Enabled());
  listed->LetByName("Enabled", -1);
  EXPECT_TRUE(listed->Enabled());
  try {
    listed->CallByName("Refresh");
    ADD_FAILURE() << "an unknown method must raise";
  } catch (const vb::RuntimeError& e) {
    EXPECT_EQ(e.number(), vb::kErrNoSuchMember);
  }
}

}  // namespace
}  // namespace veltrane
