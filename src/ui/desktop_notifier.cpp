#include "desktop_notifier.h"

#include <QSystemTrayIcon>

#ifdef QZ_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#endif

namespace qz::app {

TDesktopNotifier::TDesktopNotifier(std::function<void(const QString&)> onUnavailable, QObject* parent)
    : QObject(parent), onUnavailable_(std::move(onUnavailable)) {}

void TDesktopNotifier::SayUnavailable(const QString& why) {
  if (said_) return;
  said_ = true;
  onUnavailable_(why);
}

void TDesktopNotifier::Notify(const QString& summary, const QString& body) {
#ifdef QZ_HAVE_DBUS
  if (!busFailed_) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
      QDBusMessage call =
          QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                         "org.freedesktop.Notifications", "Notify");
      // A newer change replaces the notification of the last one: the
      // desktop shows the fleet as it is, not a pile of old news.
      call << QString("QZ Explorer") << lastId_ << QString("qz-explorer") << summary << body << QStringList()
           << QVariantMap{{"category", QString("device")}} << -1;
      auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
      connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, summary, body](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<uint> reply = *done;
        if (!reply.isError()) {
          lastId_ = reply.value();
          return;
        }
        busFailed_ = true;
        SayUnavailable(QString("Desktop notifications are not available (%1): the Fleet window and the tray icon "
                               "still show every change")
                           .arg(reply.error().message()));
        Notify(summary, body);
      });
      return;
    }
    busFailed_ = true;
  }
#endif
  if (tray_ && tray_->isVisible() && QSystemTrayIcon::supportsMessages()) {
    tray_->showMessage(summary, body, QSystemTrayIcon::Warning);
    return;
  }
  SayUnavailable("Desktop notifications are not available (no notification service, no tray): the Fleet window "
                 "and the events list still show every change");
}

}  // namespace qz::app
