#include "application.h"
#include "main_window.h"

int main(int argc, char* argv[]) {
  TApplication application(argc, argv);
  qz::app::TfrmMain frmMain;
  frmMain.show();
  return application.exec();
}
