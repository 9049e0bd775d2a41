#include "gui.h"

#include <algorithm>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTest>

namespace qz::test {

void ChooseInOpenList(QComboBox* box, int row) {
  box->setFocus();
  box->showPopup();
  QAbstractItemView* list = box->view();
  list->setCurrentIndex(list->model()->index(row, box->modelColumn(), box->rootModelIndex()));
  QTest::keyClick(list, Qt::Key_Return);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    // A real event loop, which blocks and so lets the window's idle work run.
    QEventLoop loop;
    QTimer::singleShot(pollMs, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

WhenDuringWork::WhenDuringWork(std::function<bool()> condition, std::function<void()> action) {
  connect(&timer_, &QTimer::timeout, this, [this, condition = std::move(condition), action = std::move(action)] {
    if (done_ || !condition()) return;
    done_ = true;
    timer_.stop();
    action();
  });
  timer_.start(2);
}

MessageBoxCatcher::MessageBoxCatcher() : answer_(QMessageBox::Ok) {
  connect(&timer_, &QTimer::timeout, this, &MessageBoxCatcher::Poll);
  timer_.start(5);
}

void MessageBoxCatcher::Poll() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (!box || !box->isVisible()) continue;
    texts_ << box->text();
    // A box of questions tells its answer by the button clicked.
    if (QAbstractButton* button = box->button(static_cast<QMessageBox::StandardButton>(answer_)))
      button->click();
    else
      box->done(QMessageBox::Ok);
  }
}

TimerGapWatch::TimerGapWatch() : last_(std::chrono::steady_clock::now()) {
  connect(&timer_, &QTimer::timeout, this, [this] {
    const auto now = std::chrono::steady_clock::now();
    longest_ = std::max(longest_, std::chrono::duration_cast<std::chrono::milliseconds>(now - last_));
    last_ = now;
  });
  timer_.start(10);
}

}  // namespace qz::test
