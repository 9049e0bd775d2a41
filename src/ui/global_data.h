#pragma once
// The program-wide state the window's handlers share: the settings in use
// and their numeric forms, the work state, the device list's hidden columns
// and the device panel's lists.
#include <cstdint>
#include <string>
#include <vector>

#include "conf_file.h"
#include "device_model.h"
#include "device_text.h"
#include "settings_file.h"

class QComboBox;
class QLabel;
class QLineEdit;
class TStatusLed;

namespace qz::app {

enum TWorkState : uint8_t {
  wsScan = 0,
  wsFillData = 1,
  wsRefreshData = 2,
  wsIdle = 3,
  wsStopScan = 4,
  wsTelnet = 5,
  wsHalted = 6,
};

// The controls of the device panel, each showing a record of the panel
// model (Record: its index in TPanelModel::Records()).
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

struct GlobalData {
  TIniRecord Settings;
  // QZexplorer.conf, and what of it is in use.
  TConfFile Conf;
  TCodePage CodePage = TCodePage::Latin1;
  uint32_t StartIPValue = 0;
  uint32_t StopIPValue = 0;
  int32_t SNMPTimeOutValue = 0;
  int32_t RetryCountValue = 0;
  int32_t PingTimeOutValue = 0;

  uint8_t WorkState = wsIdle;
  int32_t Ticks = 0;

  // The devices of the list; the three selection lists show its rows.
  TDeviceList Devices;
  std::string SelectedIP;

  // The selected device's description file and what it last answered.
  TPanelModel Panel;
  std::vector<TDynLed> DynLeds;
  std::vector<TDynMeas> DynMeas;
  std::vector<TDynParam> DynParams;
};

}  // namespace qz::app
