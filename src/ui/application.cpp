#include "application.h"

#include <QFont>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("QZ Explorer");
  // The window's fixed layout is drawn for a small sans-serif font.
  QFont font = QApplication::font();
  font.setPixelSize(11);
  setFont(font);
}
