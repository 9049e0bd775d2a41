#pragma once
#include <QApplication>

// The application object; errors of the idle work are reported in its name.
// A request to end the program from outside (SIGTERM from the desktop's
// logout or a service manager, SIGHUP, SIGINT) closes its windows as File >
// Exit does, so that the history's last readings are written.
class TApplication : public QApplication {
  Q_OBJECT
 public:
  TApplication(int& argc, char** argv);

 private:
  void CloseOnTermination();
};
