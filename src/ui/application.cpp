#include "application.h"

#include <QFont>
#include <QIcon>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("QZ Explorer");
  // The desktop matches the windows to the installed entry and its icon.
  setDesktopFileName("net.qzexplorer.QZExplorer");
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addFile(QString(":/icons/%1.png").arg(size), QSize(size, size));
  setWindowIcon(icon);
  // The window's fixed layout is drawn for a small sans-serif font.
  QFont font = QApplication::font();
  font.setPixelSize(11);
  setFont(font);
}
