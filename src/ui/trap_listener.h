#pragma once
// Traps in the window: the receiver started on UDP 162 where the program may
// listen there, else on [Traps] Port; each trap from a listed device makes
// the fleet poll that device at once (the panel refreshes the selected one)
// and goes into the events list with its bindings named by the description
// file. A trap from an address not in the list is only listed, marked unknown.
#include <QObject>
#include <memory>

#include "trap_receiver.h"
#include "window_services.h"

namespace qz::app {

class TFleetWatch;

class TTrapListener : public QObject {
  Q_OBJECT

 public:
  TTrapListener(TWindowServices& window, TFleetWatch& fleet, QObject* parent = nullptr);
  ~TTrapListener() override;
  // Listens as [Traps] of the conf says (again, after a change of it).
  void Start();
  // The port listened on; 0 when none.
  uint16_t Port() const { return port_; }
  snmp::TTrapCounts Counts() const;

  static constexpr uint16_t kTrapPort = 162;
  static constexpr uint16_t kUnprivilegedPort = 1162;
  // Bindings an event shows of a trap at most.
  static constexpr int kMostBindingsShown = 20;

 private:
  void TakeTraps();
  // "Mains A = 1 (1.3.6.1.4.1.98361.3.2.1.0), ..." with the captions of the device's description file.
  QString BindingsText(const snmp::TTrap& trap, const std::string& deviceType) const;

  TWindowServices& window_;
  TFleetWatch& fleet_;
  std::unique_ptr<snmp::TTrapReceiver> receiver_;
  uint16_t port_ = 0;
};

}  // namespace qz::app
