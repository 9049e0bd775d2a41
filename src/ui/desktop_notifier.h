#pragma once
// Desktop notifications: the freedesktop notification service on the
// session bus where there is one (Linux desktops), else the tray icon's
// balloon. Nothing here waits for the bus: a call goes out and its reply,
// or its failure, comes back through the event loop.
#include <QObject>
#include <QString>
#include <functional>

class QSystemTrayIcon;

namespace qz::app {

class TDesktopNotifier : public QObject {
  Q_OBJECT

 public:
  // onUnavailable is told once, in words, when notifications cannot be shown.
  TDesktopNotifier(std::function<void(const QString&)> onUnavailable, QObject* parent = nullptr);
  // The tray icon whose balloon stands in where the bus has no service; may be null.
  void SetTray(QSystemTrayIcon* tray) { tray_ = tray; }
  void Notify(const QString& summary, const QString& body);

 private:
  void SayUnavailable(const QString& why);

  std::function<void(const QString&)> onUnavailable_;
  QSystemTrayIcon* tray_ = nullptr;
  bool busFailed_ = false;
  bool said_ = false;
  uint lastId_ = 0;  // the notification a newer one replaces
};

}  // namespace qz::app
