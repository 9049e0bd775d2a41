#include "command_line.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <tuple>

#include "conf_file.h"
#include "device_list_file.h"
#include "event_log.h"
#include "fleet_poller.h"
#include "inventory.h"
#include "network_scan.h"
#include "settings_file.h"
#include "text.h"
#include "text_file.h"

namespace qz::app {
namespace {

struct TWorkFolder {
  TIniRecord Settings;
  int32_t TimeoutMs = 0;  // the settings' numbers, brought into range as the window does
  int32_t Tries = 0;
  TConfFile Conf;
  std::vector<DeviceRow> Devices;
  std::string Problem;
};

int32_t NumberSetting(const std::string& text, const std::string& fallback, TNumberRange range) {
  try {
    return ClampedNumber(text, range);
  } catch (const EConvertError&) {
    return ClampedNumber(fallback, range);
  }
}

TWorkFolder ReadWorkFolder(bool needsList) {
  TWorkFolder folder;
  if (!FileExists(kSettingsFileName)) {
    folder.Problem = std::string("no ") + kSettingsFileName + " here: start the program once, or give --workdir";
    return folder;
  }
  folder.Settings = LoadSettingsFile(kSettingsFileName);
  folder.TimeoutMs = NumberSetting(folder.Settings.SNMPTimeOut, DefaultSettings.SNMPTimeOut, kSnmpTimeOutRange);
  folder.Tries = NumberSetting(folder.Settings.RetryCount, DefaultSettings.RetryCount, kRetryCountRange);
  folder.Conf = ParseConf(ReadFile(kConfFileName).Bytes);
  const TFileRead list = ReadFile(kDeviceListFileName);
  if (!list.Error.empty() && (needsList || FileExistsAtAll(kDeviceListFileName))) {
    folder.Problem = std::string("the device list ") + kDeviceListFileName + " cannot be read (" + list.Error +
                     "): scan first";
    return folder;
  }
  folder.Devices = ParseDeviceList(list.Bytes);
  return folder;
}

std::string PollLine(const DeviceRow& device, const TPolledDevice& polled, const TFleetObservation& seen,
                     TCodePage codePage) {
  std::string line = "{\"address\": " + JsonString(device.Address) +
                     ", \"name\": " + JsonString(DecodeDeviceText(device.SysName, codePage)) +
                     ", \"type\": " + JsonString(device.DeviceType) +
                     ", \"state\": " + JsonString(FleetMarkName(seen.Mark())) + ", \"alarms\": [";
  std::string alarms;
  for (const std::string& led : seen.LitLeds) alarms += (alarms.empty() ? "" : ", ") + JsonString(led);
  for (const TLimitBreach& breach : seen.OutOfLimits)
    alarms += (alarms.empty() ? "" : ", ") + JsonString(breach.Caption + " " + breach.Shown + " outside " + breach.Limit);
  line += alarms + "], \"values\": {";
  std::string values;
  const auto& records = polled.Type->Description.Records;
  for (size_t record = 0; record < records.size(); ++record) {
    if (records[record].Kind != RecordKind::MeasuredValue) continue;
    const auto& number = polled.Readings[record].Number;
    char text[32] = "null";
    if (number) std::snprintf(text, sizeof text, "%.*f", records[record].Decimals, *number);
    values += (values.empty() ? "" : ", ") + JsonString(DecodeDeviceText(records[record].Name, codePage)) + ": " + text;
  }
  return line + values + "}}\n";
}

TCommandResult Scan(const TStartOptions& options, const TWorkFolder& folder,
                    const std::function<void(const std::string&)>& progress) {
  // --range names every range to scan; else the settings' range (read as
  // the window reads it) and [Scan] Ranges.
  const std::string listed = options.Range.empty() ? folder.Conf.Value("Scan/Ranges") : options.Range;
  const TScanRanges parsed = ParseScanRanges(listed);
  if (!parsed.NotRanges.empty())
    return {kCommandFailed, {}, "\"" + parsed.NotRanges.front() +
                                    "\" is not a range (FIRST-LAST, an address or a block such as 10.0.4.0/22)"};
  TScanRequest request;
  if (options.Range.empty()) {
    request.Start = AddressValue(folder.Settings.StartIP);
    request.Stop = AddressValue(folder.Settings.StopIP);
  } else {
    request.Start = 1;  // no range of the settings: --range names them all
  }
  request.MoreRanges = parsed.Ranges;
  const std::string range = options.Range.empty()
                                ? folder.Settings.StartIP + "-" + folder.Settings.StopIP + (listed.empty() ? "" : "," + listed)
                                : options.Range;
  const uint64_t total = ScanAddressCount(ScanRangesOf(request));
  if (total == 0) return {kCommandFailed, {}, "the range " + range + " holds no address; the device list is kept"};
  if (total > kUnconfirmedScanAddresses && !options.Yes)
    return {kCommandFailed, {}, "the range " + range + " holds " + std::to_string(total) + " addresses; --yes scans them all"};
  request.Community = options.Community.empty() ? folder.Settings.ReadComm : options.Community;
  request.TimeoutMs = folder.TimeoutMs;
  request.Tries = folder.Tries;
  TNetworkScan scan(request);
  if (scan.Error() != 0)
    return {kCommandFailed, {}, "the scan could not start (socket error " + std::to_string(scan.Error()) +
                                    "); the device list is kept"};
  const std::atomic<bool> stop{false};
  const std::vector<DeviceRow> found = scan.Run(stop, [&](const TScanProgress& now) {
    if (progress)
      progress("asked " + std::to_string(now.Settled) + " of " + std::to_string(now.Total) + ", found " +
               std::to_string(now.Found));
  });
  // As the window's scan: the list before becomes the previous list.
  if (const std::string failure = KeepPreviousDeviceListFile(); !failure.empty())
    return {kCommandFailed, {}, std::string("the device list could not be kept as ") + kPreviousDeviceListFileName +
                                    " (" + failure + "); " + kDeviceListFileName + " is left as it was"};
  if (const std::string failure = WriteWholeFile(kDeviceListFileName, FormatDeviceList(found)); !failure.empty())
    return {kCommandFailed, {}, std::string("the device list ") + kDeviceListFileName + " could not be written: " + failure};
  TCommandResult result;
  const TCodePage codePage = CodePageOf(folder.Conf);
  for (const std::string& change : CompareDeviceLists(folder.Devices, found))
    result.Out += DecodeDeviceText(change, codePage) + "\n";
  result.Out += DeviceCount(found.size()) + " found\n";
  return result;
}

}  // namespace

TCommandResult RunCommand(const TStartOptions& options, const std::function<void(const std::string&)>& progress) {
  TCommandResult result;
  const TWorkFolder folder = ReadWorkFolder(options.Command != "scan");
  if (!folder.Problem.empty()) return {kCommandFailed, {}, folder.Problem};
  if (options.Command == "scan") return Scan(options, folder, progress);
  TFleetPoller poller(folder.Settings.ReadComm, folder.TimeoutMs, folder.Tries);
  if (poller.Error() != 0)
    return {kCommandFailed, {}, "no socket to ask the devices from (socket error " + std::to_string(poller.Error()) + ")"};
  const std::atomic<bool> stop{false};
  if (options.Command == "export") {
    const std::vector<TInventoryRow> rows = ReadInventory(folder.Devices, folder.Conf, poller, stop);
    result.Out = options.Format == "json" ? InventoryJson(rows) : InventoryCsv(rows);
    return result;
  }
  TFleetTypes types(folder.Conf);
  const std::vector<TPolledDevice> polled = PollDevices(folder.Devices, types, poller, false, stop);
  const TCodePage codePage = CodePageOf(folder.Conf);
  const TValueLimits limits = LimitsFromConf(folder.Conf);
  for (size_t i = 0; i < polled.size(); ++i) {
    const TFleetObservation seen =
        Observe(*polled[i].Type, polled[i].Readings, polled[i].Answer.Answered, limits, '.');
    result.Out += PollLine(folder.Devices[i], polled[i], seen, codePage);
    const TFleetMark mark = seen.Mark();
    const int status = mark == TFleetMark::NoAnswer ? kCommandSomeSilent
                       : mark == TFleetMark::Alarm  ? kCommandSomeAlarm
                                                    : kCommandAllNormal;
    result.Status = std::max(result.Status, status);
  }
  return result;
}

}  // namespace qz::app
