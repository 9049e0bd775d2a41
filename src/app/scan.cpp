// The network scan: ask every address of the range for its sysObjectID and
// list the maker's devices.
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "main_window.h"
#include "net.h"
#include "scan_range.h"

namespace qz::app {

void TfrmMain::btScanClick() {
  if (btScan->text() == "Scan") {
    btScan->setText("Stop");
    RequestWork(wsScan);
  } else {
    btScan->setText("Scan");
    RequestWork(wsStopScan);
  }
}

void TfrmMain::Scan() {
  if (!ScanRangeHasAddresses(data_.StartIPValue, data_.StopIPValue)) {
    // A typing slip in the range must not cost the operator the device list.
    btScan->setText("Scan");
    edScanIP->setText("No address to scan");
    QMessageBox::warning(this, "QZ Explorer",
                         QString::fromStdString("Nothing was scanned: the range " + data_.Settings.StartIP +
                                                " to " + data_.Settings.StopIP +
                                                " holds no address. The device list is kept."));
    return;
  }
  EnableControls(false);
  ClearLists();
  const int32_t step = ScanProgressStep(data_.StartIPValue, data_.StopIPValue);
  pbScan->setValue(0);
  data_.DeviceCount = 0;
  snmp::SnmpRequest.TimeOut = data_.SNMPTimeOutValue;
  snmp::SnmpRequest.RetryCount = data_.RetryCountValue;
  snmp::SnmpRequest.Community = data_.Settings.ReadComm;

  auto finish = [&] {
    btScan->setText("Scan");
    edScanIP->setText("Devices found: " + QString::number(data_.DeviceCount));
    SelectRow(0);
    data_.SelectedIP = cbAdrIP->currentText().toStdString();
    // The panel of a device that is no longer listed must not stay editable.
    if (!HasSelectedDevice()) ShowNoDevice();
    pbScan->setValue(0);
    WrCFG();
    EnableControls(true);
  };
  try {
    for (std::optional<uint32_t> address = data_.StartIPValue; address && !closing_;
         address = NextScanAddress(*address, data_.StopIPValue)) {
      const std::string dotted = DottedAddress(*address);
      snmp::SnmpRequest.OID = kSysObjectIdOid;
      snmp::SnmpRequest.Host = dotted;
      edScanIP->setText(QString::fromStdString("Scanning " + dotted));
      if (snmp::NetSnmpGet(snmp::SnmpRequest) && snmp::SnmpResult.find(kMakerEnterprise) != std::string::npos) {
        const DeviceIdentity identity = GetSysDescr();
        if (identity.LanInterface.find(kStationText) != std::string::npos) {
          const std::string name = GetSysName();
          const std::string location = GetSysLocation();
          AppendRow({dotted, name, location, identity.DeviceType, identity.LanInterface});
          ++data_.DeviceCount;
          SelectRow(data_.DeviceCount - 1);
          data_.SelectedIP = dotted;
        }
      }
      pbScan->setValue(std::min(pbScan->value() + step, pbScan->maximum()));
      if (data_.WorkState == wsStopScan) break;
    }
  } catch (...) {
    finish();
    throw;
  }
  // Leaving the program in the middle of a scan keeps the file as it was.
  if (closing_) return;
  finish();
}

}  // namespace qz::app
