#pragma once
// The Manage page: the selected device's system group (sysName,
// sysLocation, sysContact, sysUpTime) and the panel its type's description
// file makes (LEDs, measured values, parameters), read in passes, shown from
// the panel model, written back and recorded for the history.
#include <string>
#include <deque>
#include <set>
#include <utility>
#include <vector>

#include <QObject>

#include "device_model.h"
#include "history_types.h"
#include "sys_descr.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;
class TStatusLed;

namespace qz::app {

class TLayout;
class TWindowServices;

// Why a write went unanswered when reads of the same device are answered.
inline constexpr char kWriteUnansweredReadsWork[] = "no answer to the write: is the write community right?";

// The controls of the panel, each showing a record of the panel model
// (Record: its index in TPanelModel::Records()).
struct TDynLed {
  TStatusLed* Led = nullptr;
  QLabel* NameLabel = nullptr;
  size_t Record = 0;
};

struct TDynMeas {
  QLineEdit* ValueEdit = nullptr;
  QLabel* NameLabel = nullptr;
  size_t Record = 0;
};

struct TDynParam {
  QComboBox* Combo = nullptr;  // none for a slot without controls
  QLabel* NameLabel = nullptr;
  size_t Record = 0;
};

// The boxes of the window's device info group the panel fills.
struct TDeviceInfoBoxes {
  QLineEdit* Type = nullptr;
  QLineEdit* Firmware = nullptr;
  QLineEdit* SerialNumber = nullptr;
  QLineEdit* LanInterface = nullptr;
};

class TDevicePanel : public QObject {
 public:
  // Makes its groups on page.
  TDevicePanel(QWidget* page, TDeviceInfoBoxes info, const TLayout& layout, TWindowServices& window);

  // A pass is one fill or refresh (or identity check) of the selected
  // device. Once an object of the pass went unanswered the rest of the pass
  // asks nothing (a silent device costs one round of tries a pass).
  void StartReadPass() { passUnanswered_ = false; }
  bool PassUnanswered() const { return passUnanswered_; }
  // The device's identity (sysDescr), read in the current pass.
  DeviceIdentity ReadIdentity();
  // Reads the system group and builds and reads the panel of the device's
  // type; its own reading goes to the history.
  void Fill();
  // Reads the LEDs, values, up-time and parameters again.
  void Refresh();

  // Empties and disables everything, or enables the groups for a device.
  void Clear();
  void Enable(bool enabled);
  // Why the device cannot be managed, said on the panel.
  void ShowHalt(const QString& message);
  // Shows the device's texts again after the code page changed.
  void ShowTexts();

  const TPanelModel& Model() const { return model_; }
  const std::vector<TDynLed>& DynLeds() const { return dynLeds_; }
  const std::vector<TDynMeas>& DynMeas() const { return dynMeas_; }
  const std::vector<TDynParam>& DynParams() const { return dynParams_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Reads one object of the selected device (SnmpRequest's host, tries and
  // time-out) with the read community into SnmpResult; in a pass that went
  // unanswered nothing is asked, unless evenInASilentPass.
  bool ReadDeviceObject(const std::string& oid, bool evenInASilentPass = false);
  // With [Panel] ObjectsPerRequest above 1: asks the objects a pass is about
  // to read, that many in one request, before the pass reads them; each read
  // of the pass then takes its answer in turn. A device that refuses a list
  // (or answers single objects but not lists) is asked one object per
  // request for the rest of the session.
  void ReadAhead(const std::vector<std::string>& oids);
  void AskSingly(const std::string& address, const std::string& why);
  int ObjectsPerRequest() const;
  static constexpr int kMostObjectsPerRequest = 64;
  // The selected device's description file: its path (an unsafe type's
  // sanitised), and whether it may be read.
  std::string DescriptionPath(bool* readable) const;
  std::string ReadObject(const char* oid, bool* ok);
  std::string ReadUpTime();
  void ClearPanel();
  void ProcessParamFile(history::TReading& reading);
  void BuildNoParameterHint();
  // Reads the object of each control, shows it with show(control, answered).
  template <typename Control, typename Show>
  void ReadControls(const std::vector<Control>& controls, Show show);
  void GetDeviceStatus(const std::string& address, history::TReading& reading);
  void GetDeviceMeas(const std::string& address, history::TReading& reading);
  // A value outside the operator's limits ([Limits] of the conf) shows its box red.
  void ShowLimit(QLineEdit* box, const DescriptionRecord& record, const TObjectReading& latest) const;
  void GetDeviceParams(const std::string& address);
  // The entry of combo a parameter's reading names, or -1.
  static int HeldChoice(const QComboBox* combo, const TObjectReading& reading);
  // Writes the parameter a box shows the operator's choice of, reads it back.
  void WriteParameter(QComboBox* sender);

  // The history's reading of a pass: each pass has its own, so a pass run
  // while another's GET waits neither ends nor empties the other's.
  history::TReading StartReading() const;
  // A record of the panel model as it was last read, under its OID.
  void AddSample(history::TReading& reading, size_t record, const QString& shown) const;
  void AddUpTime(history::TReading& reading) const;

  // System group
  void ShowSystemObject(QLineEdit* edit, const std::string& deviceText);
  // Typed text that differs from the device's and was not written.
  bool IsUnsent(const QLineEdit* edit) const;
  // Shows whether an edit holds unsent text, and that Enter writes it.
  void MarkUnsent(QLineEdit* edit);
  // Says which typed texts a fill is about to replace unsent.
  void DiscardUnsentTexts();
  // Enter in a system group box writes its text to the device (sysName,
  // sysLocation or sysContact); a name or location the device took goes into
  // the device list too.
  void BindSystemGroup();
  void WriteSystemObject(QLineEdit* edit, const char* oid, const char* objectName);

  TWindowServices& window_;
  const TLayout& layout_;
  TDeviceInfoBoxes info_;
  QGroupBox* gbSNMPmib;
  QLineEdit* edSysName;
  QLineEdit* edSysLocation;
  QLineEdit* edSysContact;
  QLineEdit* edSysUpTime;
  QGroupBox* gbControl;
  QGroupBox* gbDevStatus;
  QGroupBox* gbMeas;
  TPanelModel model_;
  std::vector<TDynLed> dynLeds_;
  std::vector<TDynMeas> dynMeas_;
  std::vector<TDynParam> dynParams_;
  bool passUnanswered_ = false;
  // The answers read ahead for the pass running, in the order it reads.
  std::deque<std::pair<std::string, std::string>> readAhead_;
  // A list of this pass went unanswered: whether a single object answers tells.
  bool listUnanswered_ = false;
  // The devices asked one object per request, by address.
  std::set<std::string> singly_;
  // Counts the panels built: a read that began with another stops.
  uint64_t built_ = 0;
};

}  // namespace qz::app
