#include "app/qt/fatal_box.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

#include "app/qt/text_bridge.h"

namespace pl {

void ShowFatalBox(const Text& text, const Text& caption) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    // No window system to show a box on: the text goes to standard error.
    std::fprintf(stderr, "%s\n%s\n", Cp936ToUtf8(caption).c_str(), Cp936ToUtf8(text).c_str());
    return;
  }
  QMessageBox box(QMessageBox::Critical, QStringFromText(caption), QStringFromText(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void InstallFatalBox() { SetFatalMessageBox(&ShowFatalBox); }

}  // namespace pl
