#include "trap_listener.h"

#include <map>

#include "description_file.h"
#include "event_log.h"
#include "fleet_watch.h"
#include "history_types.h"
#include "net_errors.h"
#include "process_hooks.h"
#include "text.h"
#include "text_file.h"

namespace qz::app {
namespace {

std::vector<std::string> Communities(const std::string& listed, const std::string& readCommunity) {
  std::vector<std::string> communities = ListItems(listed, ',');
  if (communities.empty()) communities.push_back(readCommunity);
  return communities;
}

}  // namespace

TTrapListener::TTrapListener(TWindowServices& window, TFleetWatch& fleet, QObject* parent)
    : QObject(parent), window_(window), fleet_(fleet) {}

TTrapListener::~TTrapListener() = default;

snmp::TTrapCounts TTrapListener::Counts() const { return receiver_ ? receiver_->Counts() : snmp::TTrapCounts{}; }

void TTrapListener::Start() {
  receiver_.reset();
  port_ = 0;
  const TConfFile& conf = window_.Data().Conf;
  if (conf.Value("Traps/Receive", "1") == "0") return;
  const std::string address = conf.Value("Traps/Address", "0.0.0.0");
  const auto communities = Communities(conf.Value("Traps/Communities"), window_.Data().Settings.ReadComm);
  const int32_t configured = ParseInt32Or(conf.Value("Traps/Port"), kUnprivilegedPort);
  const uint16_t fallback = configured > 0 && configured < 65536 ? static_cast<uint16_t>(configured) : kUnprivilegedPort;
  const auto wake = [this] { PostToWindowThread(this, [this] { TakeTraps(); }); };
  std::string why162;
  for (const uint16_t port : {kTrapPort, fallback}) {
    auto receiver = std::make_unique<snmp::TTrapReceiver>(address, port, communities, wake);
    if (receiver->Error() == 0) {
      receiver_ = std::move(receiver);
      port_ = port;
      break;
    }
    if (port == kTrapPort) why162 = telnet::SocketErrorText(receiver->Error());
    else
      window_.ShowNotice(QString("Traps: no port to listen on (UDP 162: %1; UDP %2: %3)")
                             .arg(QString::fromStdString(why162))
                             .arg(port)
                             .arg(QString::fromStdString(telnet::SocketErrorText(receiver->Error()))));
  }
  if (port_ != 0 && port_ != kTrapPort)
    window_.ShowNotice(QString("Traps: listening on UDP %1, not 162 (%2); the manual's \"Receiving traps\" says how "
                               "to receive on 162")
                           .arg(port_)
                           .arg(QString::fromStdString(why162)),
                       TNotice::Confirmation);
}

void TTrapListener::TakeTraps() {
  if (!receiver_) return;
  const GlobalData& data = window_.Data();
  for (const snmp::TReceivedTrap& received : receiver_->Take()) {
    const snmp::TTrap& trap = received.Trap;
    const int row = data.Devices.RowOf(received.Source);
    const DeviceRow* device = data.Devices.At(row);
    const QString what = QString("Trap %1 (SNMPv%2%3)%4")
                             .arg(QString::fromStdString(snmp::TrapName(trap)), trap.Version == 0 ? "1" : "2c",
                                  trap.PDUType == snmp::pduInformRequest ? " inform" : "",
                                  trap.VarBinds.empty() ? QString() : ": " + BindingsText(trap, device ? device->DeviceType : ""));
    if (!device) {
      window_.LogDeviceEvent(received.Source + " (unknown)", what + " - from a device not in the list", false);
      continue;
    }
    window_.LogDeviceEvent(DeviceLabel(window_.Shown(device->SysName).toStdString(), received.Source), what, false);
    history::TBatch batch;
    batch.Writes.push_back({{received.Source, window_.Shown(device->SysName).toStdString(), device->DeviceType},
                            received.AtMs, history::TWriteKind::Trap, snmp::TrapName(trap),
                            BindingsText(trap, device->DeviceType).toStdString(), "ok", {}});
    window_.RecordHistory(std::move(batch));
    // The state comes from the device itself: it is asked now.
    if (received.Source == data.SelectedIP && window_.HasSelectedDevice())
      window_.RequestWork(wsRefreshData);
    else
      fleet_.PollSoon(received.Source);
  }
}

QString TTrapListener::BindingsText(const snmp::TTrap& trap, const std::string& deviceType) const {
  std::map<std::string, std::string> captions;
  if (IsSafeDeviceType(deviceType))
    if (const TFileRead file = ReadFile(DescriptionFilePath(deviceType)); file.Error.empty())
      for (const DescriptionRecord& record : ParseDeviceDescription(file.Bytes).Records)
        if (!record.Name.empty()) captions.emplace(record.OID, record.Name);
  QStringList bindings;
  for (const snmp::TSnmpVarBind& binding : trap.VarBinds) {
    if (bindings.size() == kMostBindingsShown) {
      bindings << QString("... and %1 more").arg(trap.VarBinds.size() - kMostBindingsShown);
      break;
    }
    const auto caption = captions.find(binding.OID);
    const QString value = window_.Shown(ShortenedForMessage(binding.Value));
    bindings << (caption == captions.end()
                     ? QString("%1 = %2").arg(QString::fromStdString(binding.OID), value)
                     : QString("%1 = %2 (%3)").arg(window_.Shown(caption->second), value,
                                                    QString::fromStdString(binding.OID)));
  }
  return bindings.join(", ");
}

}  // namespace qz::app
