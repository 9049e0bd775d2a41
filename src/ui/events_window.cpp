#include "events_window.h"

#include <QDateTime>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qz::app {

TEventsWindow::TEventsWindow(const TEventLog& log, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("EventsWindow");
  setWindowTitle("QZ Explorer - Events");
  list_ = new QTreeWidget(this);
  list_->setObjectName("lvEvents");
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({"Time", "Device", "Event"});
  list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  list_->header()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  for (const TEvent& event : log.Events()) Append(event);
  resize(720, 360);
}

void TEventsWindow::Append(const TEvent& event) {
  const bool following = list_->verticalScrollBar()->value() == list_->verticalScrollBar()->maximum();
  if (list_->topLevelItemCount() == static_cast<int>(TEventLog::kMostEvents)) delete list_->takeTopLevelItem(0);
  auto* item = new QTreeWidgetItem(
      {QDateTime::fromMSecsSinceEpoch(event.AtMs).toString("yyyy-MM-dd HH:mm:ss"), QString::fromStdString(event.Device),
       QString::fromStdString(event.Text)});
  item->setToolTip(2, item->text(2));
  if (event.Problem) item->setForeground(2, QColor(192, 0, 0));
  list_->addTopLevelItem(item);
  if (following) list_->scrollToBottom();
}

}  // namespace qz::app
