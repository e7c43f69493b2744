#include "saver/runtime/message_box.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

#include "saver/runtime/application.h"
#include "saver/runtime/runtime_error.h"

namespace veltrane::vb {

int MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  if (buttons != kOkOnly) throw RuntimeError(kErrInvalidProcedureCall);
  QMessageBox box;
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(QString::fromUtf8(title.empty() ? kAppTitle : title.c_str()));
  box.setText(QString::fromStdString(prompt));
  box.setTextFormat(Qt::PlainText);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setIcon(QIcon());
  box.exec();
  return kResultOk;
}

}  // namespace veltrane::vb
