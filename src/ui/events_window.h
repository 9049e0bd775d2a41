#pragma once
// The events of the session in a list of their own (View > Events): newest
// at the bottom, followed while the list is scrolled to its end.
#include <QWidget>

#include "event_log.h"

class QTreeWidget;

namespace qz::app {

class TEventsWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TEventsWindow(const TEventLog& log, QWidget* parent = nullptr);
  void Append(const TEvent& event);

 private:
  QTreeWidget* list_ = nullptr;
};

}  // namespace qz::app
