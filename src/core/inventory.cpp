#include "inventory.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <functional>
#include <iterator>

#include "csv_text.h"
#include "description_file.h"
#include "settings_file.h"
#include "device_model.h"
#include "sys_descr.h"
#include "text.h"
#include "text_file.h"

namespace qz::app {
namespace {

constexpr const char* kColumns[] = {"address", "name",   "location",       "contact",   "type",  "firmware",
                                    "serial",  "sysdescr", "uptime_seconds", "last_seen", "alarms"};

// The texts of a row in the order of kColumns; numbers and times in their
// machine forms, what is unknown empty.
std::vector<std::string> Cells(const TInventoryRow& row) {
  std::string alarms;
  if (row.Alarms)
    for (const std::string& alarm : *row.Alarms) alarms += (alarms.empty() ? "" : "; ") + alarm;
  return {row.Address,
          row.Name,
          row.Location,
          row.Contact,
          row.Type,
          row.Firmware,
          row.Serial,
          row.SysDescr,
          row.UptimeSeconds ? std::to_string(*row.UptimeSeconds) : "",
          row.LastSeenMs ? UtcTimestamp(*row.LastSeenMs) : "",
          alarms};
}

// The object of the type's serial number or firmware record, when its file has one.
std::optional<std::string> RecordOid(const TFleetType& type, RecordKind kind) {
  for (const DescriptionRecord& record : type.Description.Records)
    if (record.Kind == kind && !record.OID.empty()) return record.OID;
  return std::nullopt;
}

}  // namespace

std::vector<std::string> InventoryOids(const TFleetType& type) {
  std::vector<std::string> oids = FleetOids(type);
  for (const char* oid : {kSysDescrOid, kSysContactOid, kSysUpTimeOid}) oids.push_back(oid);
  for (const RecordKind kind : {RecordKind::SerialNumber, RecordKind::Version})
    if (const auto oid = RecordOid(type, kind)) oids.push_back(*oid);
  return oids;
}

TInventoryRow InventoryRowOf(const DeviceRow& device, const TPolledDevice& polled, int64_t answeredMs,
                             TCodePage codePage, const TValueLimits& limits) {
  TInventoryRow row;
  row.Address = device.Address;
  row.Name = DecodeDeviceText(device.SysName, codePage);
  row.Location = DecodeDeviceText(device.SysLocation, codePage);
  row.Type = device.DeviceType;
  row.SysDescr = DecodeDeviceText(device.LanInterface, codePage);
  if (!polled.Answer.Answered) return row;
  row.LastSeenMs = answeredMs;
  // InventoryOids' further objects follow the fleet's.
  const size_t further = FleetOids(*polled.Type).size();
  const auto text = [&](size_t place) {
    const auto& values = polled.Answer.Values;
    return further + place < values.size() && values[further + place]
               ? DecodeDeviceText(*values[further + place], codePage)
               : "";
  };
  if (const std::string sysDescr = text(0); !sysDescr.empty()) row.SysDescr = sysDescr;
  row.Contact = text(1);
  const std::string ticks = text(2);
  uint32_t hundredths = 0;
  if (const auto [end, error] = std::from_chars(ticks.data(), ticks.data() + ticks.size(), hundredths);
      !ticks.empty() && error == std::errc{} && end == ticks.data() + ticks.size())
    row.UptimeSeconds = hundredths / 100;
  size_t next = 3;
  if (RecordOid(*polled.Type, RecordKind::SerialNumber)) row.Serial = text(next++);
  if (RecordOid(*polled.Type, RecordKind::Version)) row.Firmware = text(next);

  const TFleetObservation seen = Observe(*polled.Type, polled.Readings, true, limits, '.');
  row.Alarms = seen.LitLeds;
  for (const TLimitBreach& breach : seen.OutOfLimits) row.Alarms->push_back(breach.Caption);
  return row;
}

const TFleetType& TFleetTypes::Of(const std::string& deviceType) {
  auto type = types_.find(deviceType);
  if (type != types_.end()) return type->second;
  TFleetType loaded = FleetType(deviceType, nullptr, "");
  if (IsSafeDeviceType(deviceType))
    if (const TFileRead file = ReadFile(DescriptionFilePath(deviceType)); file.Error.empty()) {
      const DeviceDescription description = ParseDeviceDescription(file.Bytes);
      loaded = FleetType(deviceType, &description, conf_.Value(FleetValuesKey(deviceType)));
    }
  return types_.emplace(deviceType, std::move(loaded)).first->second;
}

std::vector<TPolledDevice> PollDevices(const std::vector<DeviceRow>& devices, TFleetTypes& types,
                                       TFleetPoller& poller, bool identity, const std::atomic<bool>& stop) {
  std::vector<TFleetQuery> queries;
  std::vector<TPolledDevice> polled(devices.size());
  for (size_t i = 0; i < devices.size(); ++i) {
    polled[i].Type = &types.Of(devices[i].DeviceType);
    queries.push_back({AddressValue(devices[i].Address),
                       identity ? InventoryOids(*polled[i].Type) : FleetOids(*polled[i].Type)});
  }
  const std::vector<TFleetAnswer> answers = poller.Poll(queries, stop);
  for (size_t i = 0; i < answers.size() && i < polled.size(); ++i) {
    const TFleetType& type = *polled[i].Type;
    polled[i].Answer = answers[i];
    polled[i].Readings.resize(type.Description.Records.size());
    for (size_t asked = 0; asked < type.Asked.size() && asked < answers[i].Values.size(); ++asked) {
      const auto& value = answers[i].Values[asked];
      polled[i].Readings[type.Asked[asked]] =
          ObjectReadingOf(type.Description.Records[type.Asked[asked]], value.has_value(), value.value_or(""));
    }
  }
  return polled;
}

std::vector<TInventoryRow> ReadInventory(const std::vector<DeviceRow>& devices, const TConfFile& conf,
                                         TFleetPoller& poller, const std::atomic<bool>& stop) {
  TFleetTypes types(conf);
  const std::vector<TPolledDevice> polled = PollDevices(devices, types, poller, true, stop);
  const int64_t answeredMs = static_cast<int64_t>(std::time(nullptr)) * 1000;
  const TCodePage codePage = CodePageOf(conf);
  const TValueLimits limits = LimitsFromConf(conf);
  std::vector<TInventoryRow> rows;
  for (size_t i = 0; i < devices.size() && i < polled.size(); ++i)
    rows.push_back(InventoryRowOf(devices[i], polled[i], answeredMs, codePage, limits));
  return rows;
}

namespace {

// The header row and a row per device, each cell made a field by `field`.
std::string Delimited(const std::vector<TInventoryRow>& rows, char separator, const char* lineEnd,
                      const std::function<std::string(const std::string&)>& field) {
  const auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t i = 0; i < cells.size(); ++i) text += (i == 0 ? "" : std::string(1, separator)) + field(cells[i]);
    return text + lineEnd;
  };
  std::string text = line(std::vector<std::string>(std::begin(kColumns), std::end(kColumns)));
  for (const TInventoryRow& row : rows) text += line(Cells(row));
  return text;
}

}  // namespace

std::string InventoryCsv(const std::vector<TInventoryRow>& rows) {
  return Delimited(rows, ',', "\r\n", [](const std::string& cell) { return CsvField(GuardedCell(cell)); });
}

std::string InventoryTable(const std::vector<TInventoryRow>& rows) {
  return Delimited(rows, '\t', "\n", [](const std::string& cell) {
    std::string field = GuardedCell(cell);
    for (char& c : field)
      if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return field;
  });
}

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': json += "\\\""; break;
      case '\\': json += "\\\\"; break;
      case '\n': json += "\\n"; break;
      case '\r': json += "\\r"; break;
      case '\t': json += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

std::string InventoryJson(const std::vector<TInventoryRow>& rows) {
  std::string json = "[";
  for (const TInventoryRow& row : rows) {
    const std::vector<std::string> cells = Cells(row);
    json += json.size() == 1 ? "\n  {" : ",\n  {";
    for (size_t column = 0; column < cells.size(); ++column) {
      json += (column == 0 ? "" : ", ") + JsonString(kColumns[column]) + ": ";
      if (column == 8) {
        json += row.UptimeSeconds ? cells[column] : "null";
      } else if (column == 9) {
        json += row.LastSeenMs ? JsonString(cells[column]) : "null";
      } else if (column == 10) {
        if (!row.Alarms) {
          json += "null";
        } else {
          std::string list;
          for (const std::string& alarm : *row.Alarms) list += (list.empty() ? "" : ", ") + JsonString(alarm);
          json += "[" + list + "]";
        }
      } else {
        json += JsonString(cells[column]);
      }
    }
    json += "}";
  }
  return json + (rows.empty() ? "]\n" : "\n]\n");
}

std::string UtcTimestamp(int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace qz::app
