#pragma once
// What the window does for the pages it is made of: the state they share,
// the work they ask for, and the ways of telling the operator. A page holds
// its own controls and state and reaches the rest of the window only here.
#include <string>

#include <QString>

#include "global_data.h"

namespace qz::app {

// A message that stays in the status bar for a few seconds, and in the
// events list.
enum class TNotice { Problem, Confirmation };

class TWindowServices {
 public:
  virtual GlobalData& Data() = 0;
  // The window is closing: work in progress ends at its next step.
  virtual bool Closing() const = 0;
  // Asks for the work of a state: it runs when the event queue has emptied.
  virtual void RequestWork(TWorkState state) = 0;
  virtual void SetStatusText(const QString& text) = 0;
  virtual void ShowNotice(const QString& text, TNotice kind = TNotice::Problem) = 0;
  // Device and file text (bytes) as the window shows it, and what the
  // operator typed as bytes: one rule, the operator's code page.
  virtual QString Shown(const std::string& bytes) const = 0;
  virtual std::string Typed(const QString& text) const = 0;

 protected:
  ~TWindowServices() = default;
};

}  // namespace qz::app
