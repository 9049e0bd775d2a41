#pragma once
// Helpers for tests that drive real widgets on the offscreen platform.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <QObject>
#include <QStringList>
#include <QTimer>

class QComboBox;

namespace qz::test {

// Handles events until condition holds or timeoutMs has passed, looking
// every pollMs; the result is the condition's last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000, int pollMs = 10);

// Opens the box's list and picks its entry `row` with Enter, as the
// operator chooses.
void ChooseInOpenList(QComboBox* box, int row);

// Watches the widgets while the window works (its timer also fires inside
// the window's message pumps): runs action once, as soon as condition holds.
class WhenDuringWork : public QObject {
 public:
  WhenDuringWork(std::function<bool()> condition, std::function<void()> action);
  bool Done() const { return done_; }

 private:
  QTimer timer_;
  bool done_ = false;
};

// The longest time the thread's event loop went without running a 10 ms
// timer, from the watch's making on: how long the window kept its user
// waiting.
class TimerGapWatch : public QObject {
 public:
  TimerGapWatch();
  std::chrono::milliseconds Longest() const { return longest_; }

 private:
  QTimer timer_;
  std::chrono::steady_clock::time_point last_;
  std::chrono::milliseconds longest_{0};
};

// Answers every message box that opens while it exists (with OK unless told
// otherwise), and keeps the texts they showed.
class MessageBoxCatcher : public QObject {
 public:
  MessageBoxCatcher();
  const QStringList& Texts() const { return texts_; }
  void Clear() { texts_.clear(); }
  // The button that answers the boxes from now on (a QMessageBox::StandardButton).
  void AnswerWith(int button) { answer_ = button; }

 private:
  void Poll();
  QTimer timer_;
  QStringList texts_;
  int answer_;
};

}  // namespace qz::test
