#pragma once
// Helpers for tests that drive real widgets on the offscreen platform.
#include <functional>
#include <string>
#include <vector>

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace qz::test {

// Handles events until condition holds or timeoutMs has passed; the result
// is the condition's last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Answers every message box that opens while it exists with OK, and keeps
// the texts they showed.
class MessageBoxCatcher : public QObject {
 public:
  MessageBoxCatcher();
  const QStringList& Texts() const { return texts_; }
  void Clear() { texts_.clear(); }

 private:
  void Poll();
  QTimer timer_;
  QStringList texts_;
};

}  // namespace qz::test
