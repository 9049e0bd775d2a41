#pragma once
#include <QApplication>

// The application object; errors of the idle work are reported in its name.
class TApplication : public QApplication {
  Q_OBJECT
 public:
  TApplication(int& argc, char** argv);
};
