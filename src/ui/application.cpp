#include "application.h"

#include <QFont>
#include <QIcon>

#ifndef _WIN32
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

// The signal handler's way to the event loop: the one thing it may do is
// write to a socket.
int terminationSockets[2] = {-1, -1};

void TerminationRequested(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(terminationSockets[0], &byte, 1);
}

}  // namespace
#endif

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("QZ Explorer");
  // The desktop matches the windows to the installed entry and its icon.
  setDesktopFileName("net.qzexplorer.QZExplorer");
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addFile(QString(":/icons/%1.png").arg(size), QSize(size, size));
  setWindowIcon(icon);
  CloseOnTermination();
  // The window's fixed layout is drawn for a small sans-serif font.
  QFont font = QApplication::font();
  font.setPixelSize(11);
  setFont(font);
}

void TApplication::CloseOnTermination() {
#ifndef _WIN32
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, terminationSockets) != 0) return;
  auto* notifier = new QSocketNotifier(terminationSockets[1], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [] {
    char byte = 0;
    [[maybe_unused]] const ssize_t read = ::read(terminationSockets[1], &byte, 1);
    closeAllWindows();
    quit();
  });
  struct sigaction action {};
  action.sa_handler = TerminationRequested;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
#endif
}
