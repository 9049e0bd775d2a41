#include "event_hooks.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QWidget>

namespace qz::app {
namespace {

class EventHook : public QObject {
 public:
  EventHook(QWidget* widget, std::function<bool(QEvent*)> filter)
      : QObject(widget), filter_(std::move(filter)) {
    widget->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override { return filter_(event); }

 private:
  std::function<bool(QEvent*)> filter_;
};

}  // namespace

bool TypesCharacter(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
    case Qt::Key_Escape:
      return false;
    default:
      return !event.text().isEmpty();
  }
}

void OnExit(QWidget* widget, std::function<void()> handler) {
  new EventHook(widget, [handler = std::move(handler)](QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) handler();
    }
    return false;
  });
}

void IgnoreWheelUnlessFocused(QWidget* widget) {
  widget->setFocusPolicy(Qt::StrongFocus);
  new EventHook(widget, [widget](QEvent* event) { return event->type() == QEvent::Wheel && !widget->hasFocus(); });
}

void OnKeyPress(QWidget* widget, std::function<bool(const QKeyEvent&)> discard) {
  new EventHook(widget, [discard = std::move(discard)](QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto& key = *static_cast<QKeyEvent*>(event);
    return TypesCharacter(key) && discard(key);
  });
}

}  // namespace qz::app
