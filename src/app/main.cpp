#include <QMessageBox>

#include "application.h"
#include "main_window.h"
#include "process_hooks.h"
#include "socket_platform.h"

int main(int argc, char* argv[]) {
  TApplication application(argc, argv);
  if (const std::string failure = qz::StartSocketLibrary(); !failure.empty()) {
    QMessageBox::critical(nullptr, "QZ Explorer", QString::fromStdString(failure));
    return 1;
  }
  const qz::app::TProcessHooks hooks;
  qz::app::TfrmMain frmMain;
  frmMain.show();
  return application.exec();
}
