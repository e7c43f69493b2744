// A small form with one Command button, for the pointer tests under Xvfb. It
// prints "ready <x> <y> <width> <height>" (the button on the screen) once shown,
// "click <n>" for every Click, and "look <name> <state>" whenever the painted look
// changes (for the test's failure messages).
#include <cstdio>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "saver/controls/command.h"

using veltrane::Command;

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QApplication app(argc, argv);

  QWidget form;
  form.setWindowTitle(QStringLiteral("CommandHoverForm"));
  form.setAutoFillBackground(true);
  QPalette palette = form.palette();
  palette.setColor(QPalette::Window, QColor(40, 40, 40));
  form.setPalette(palette);
  form.setGeometry(100, 100, 240, 120);

  // Something else takes the focus first, so the button starts unfocused.
  QWidget other(&form);
  other.setFocusPolicy(Qt::StrongFocus);
  other.setGeometry(4, 4, 10, 10);

  veltrane::vb::FontSpec font;
  font.Name = "ＭＳ Ｐゴシック";
  font.Size = 9.75;
  veltrane::vb::PropertyBag bag;
  bag.Set("_extentx", 1931);
  bag.Set("_extenty", 661);
  bag.Set("caption", QStringLiteral("OK"));
  bag.Set("font", veltrane::vb::FontValue(font));
  Command* button = Command::Load(bag, &form, QStringLiteral("Cmd_OK"));
  button->move(60, 40);

  int clicks = 0;
  QObject::connect(button, &Command::Click, [&] {
    std::printf("click %d\n", ++clicks);
    std::fflush(stdout);
  });

  form.show();
  form.activateWindow();
  button->Initialize();

  QTimer watch;
  int lastPaint = -1;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (button->PaintCount() == lastPaint) return;
    lastPaint = button->PaintCount();
    std::printf("look %s %d\n", veltrane::LookName(button->LastLook()), button->Logic().State);
    std::fflush(stdout);
  });
  watch.start(10);

  QTimer::singleShot(300, [&] {
    QPoint at = button->mapToGlobal(QPoint(0, 0));
    std::printf("ready %d %d %d %d\n", at.x(), at.y(), button->width(), button->height());
    std::fflush(stdout);
  });
  return app.exec();
}
