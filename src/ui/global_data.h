#pragma once
// The program-wide state the window and its pages share: the settings in
// use and their numeric forms, the work state and the device list.
#include <cstdint>
#include <string>
#include <vector>

#include "conf_file.h"
#include "device_model.h"
#include "device_text.h"
#include "settings_file.h"
#include "value_limits.h"

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

struct GlobalData {
  TIniRecord Settings;
  // QZexplorer.conf, and what of it is in use.
  TConfFile Conf;
  TCodePage CodePage = TCodePage::Latin1;
  // [Limits] of the conf: measured values outside them are alarms.
  TValueLimits Limits;
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

};

}  // namespace qz::app
