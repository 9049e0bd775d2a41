#include "fleet_state.h"

#include <algorithm>
#include <unordered_set>

#include "conf_file.h"
#include "event_log.h"
#include "measured_value.h"
#include "sys_descr.h"
#include "text.h"

namespace qz::app {
namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// What changed between two confirmed states, in the operator's words.
std::vector<std::string> ChangeParts(const TFleetObservation& was, const TFleetObservation& now) {
  if (!now.Answered) return {"no answer"};
  std::vector<std::string> parts;
  if (!was.Answered) parts.push_back("answers again");
  const TFleetObservation& before = was.Answered ? was : TFleetObservation{};
  for (const std::string& led : now.LitLeds)
    if (!Contains(before.LitLeds, led)) parts.push_back(led + " on");
  for (const std::string& led : before.LitLeds)
    if (!Contains(now.LitLeds, led)) parts.push_back(led + " off");
  for (const TLimitBreach& breach : now.OutOfLimits)
    if (std::find(before.OutOfLimits.begin(), before.OutOfLimits.end(), breach) == before.OutOfLimits.end())
      parts.push_back(breach.Caption + " " + breach.Shown + " outside " + breach.Limit);
  for (const TLimitBreach& breach : before.OutOfLimits)
    if (std::find(now.OutOfLimits.begin(), now.OutOfLimits.end(), breach) == now.OutOfLimits.end())
      parts.push_back(breach.Caption + " within its limits");
  if (was.Described != now.Described) parts.push_back(now.Described ? "described" : "no description file");
  return parts;
}

int BoundedNumber(const std::string& text, int fallback, int low, int high) {
  int32_t value = 0;
  if (!ParseInt32(Trimmed(text, " \t"), value)) return fallback;
  return std::clamp<int>(value, low, high);
}

}  // namespace

TFleetSettings FleetSettingsFrom(const TConfFile& conf) {
  TFleetSettings settings;
  settings.Watch = conf.Value("Fleet/Watch") == "1";
  settings.Open = conf.Value("Fleet/Open") == "1";
  settings.IntervalSeconds = BoundedNumber(conf.Value("Fleet/Interval"), settings.IntervalSeconds, 5, 3600);
  settings.Confirm = BoundedNumber(conf.Value("Fleet/Confirm"), settings.Confirm, 1, 10);
  settings.OnChange = conf.Value("Fleet/OnChange");
  return settings;
}

std::string FleetValuesKey(const std::string& type) { return "Fleet/Values/" + type; }

const char* FleetMarkName(TFleetMark mark) {
  switch (mark) {
    case TFleetMark::Normal:
      return "normal";
    case TFleetMark::NoDescription:
      return "no description file";
    case TFleetMark::NoAnswer:
      return "no answer";
    case TFleetMark::Alarm:
      return "alarm";
  }
  return "";
}

TFleetType FleetType(const std::string& type, const DeviceDescription* description, const std::string& shownCaptions) {
  TFleetType fleetType{type, description != nullptr, description ? *description : DeviceDescription{}, {}, {}};
  const auto& records = fleetType.Description.Records;
  std::vector<size_t> values;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].Kind == RecordKind::StatusLed || records[i].Kind == RecordKind::MeasuredValue)
      fleetType.Asked.push_back(i);
    if (records[i].Kind == RecordKind::MeasuredValue) values.push_back(i);
  }
  const std::vector<std::string> wanted = ListItems(shownCaptions, ';');
  if (wanted.empty()) {
    fleetType.ShownValues.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(2, values.size())));
  } else {
    for (const std::string& caption : wanted)
      for (const size_t record : values)
        if (records[record].Name == caption) fleetType.ShownValues.push_back(record);
  }
  return fleetType;
}

std::vector<std::string> FleetOids(const TFleetType& type) {
  if (type.Asked.empty()) return {kSysUpTimeOid};
  std::vector<std::string> oids;
  for (const size_t record : type.Asked) oids.push_back(type.Description.Records[record].OID);
  return oids;
}

TFleetMark TFleetObservation::Mark() const {
  if (!Answered) return TFleetMark::NoAnswer;
  if (!LitLeds.empty() || !OutOfLimits.empty()) return TFleetMark::Alarm;
  return Described ? TFleetMark::Normal : TFleetMark::NoDescription;
}

bool TFleetObservation::SameState(const TFleetObservation& other) const {
  if (Answered != other.Answered || Described != other.Described) return false;
  return !Answered || (LitLeds == other.LitLeds && OutOfLimits == other.OutOfLimits);
}

TFleetObservation Observe(const TFleetType& type, const std::vector<TObjectReading>& readings, bool answered,
                          const TValueLimits& limits, char decimalSeparator) {
  TFleetObservation seen;
  seen.Described = type.Described;
  seen.Answered = answered;
  if (!answered) return seen;
  const auto& records = type.Description.Records;
  const auto shownText = [&](size_t record) {
    const TObjectReading& reading = readings.at(record);
    return reading.Raw ? FormatMeasuredValue(*reading.Raw, records[record].Offset, records[record].Factor,
                                             records[record].Decimals, decimalSeparator)
                       : std::string();
  };
  for (size_t record = 0; record < records.size() && record < readings.size(); ++record) {
    const DescriptionRecord& described = records[record];
    const TObjectReading& reading = readings[record];
    if (described.Kind == RecordKind::StatusLed && reading.Raw == 1) seen.LitLeds.push_back(described.Name);
    if (described.Kind != RecordKind::MeasuredValue || !reading.Number) continue;
    if (const TValueLimit* limit = limits.Find(type.Type, described.Name); limit && limit->Outside(*reading.Number))
      seen.OutOfLimits.push_back({described.Name, shownText(record), ValueLimitText(*limit)});
  }
  for (const size_t record : type.ShownValues) {
    if (record >= readings.size()) continue;
    const auto& breaches = seen.OutOfLimits;
    const bool outside = std::any_of(breaches.begin(), breaches.end(),
                                     [&](const TLimitBreach& breach) { return breach.Caption == records[record].Name; });
    seen.Values.push_back({records[record].Name, shownText(record), readings[record].Number, outside});
  }
  return seen;
}

std::optional<TFleetChange> TFleetStates::Take(const std::string& address, const TFleetObservation& seen) {
  Device& device = devices_[address];
  if (device.Confirmed && device.Confirmed->SameState(seen)) {
    device.Candidate.reset();
    device.Agreeing = 0;
    device.Confirmed = seen;  // the latest values of the same state
    return std::nullopt;
  }
  if (device.Candidate && device.Candidate->SameState(seen))
    ++device.Agreeing;
  else
    device.Agreeing = 1;
  device.Candidate = seen;
  if (device.Agreeing < confirm_) return std::nullopt;
  std::optional<TFleetObservation> was = std::move(device.Confirmed);
  device.Confirmed = seen;
  device.Candidate.reset();
  device.Agreeing = 0;
  // The state a device is first seen in is where it stands, not a change.
  if (!was) return std::nullopt;
  TFleetChange change{address, was->Mark(), seen.Mark(), ChangeParts(*was, seen), true};
  if (device.AcknowledgedMark == change.Now)
    change.Notify = false;
  else
    device.AcknowledgedMark.reset();
  return change;
}

const TFleetObservation* TFleetStates::Confirmed(const std::string& address) const {
  const auto found = devices_.find(address);
  return found == devices_.end() || !found->second.Confirmed ? nullptr : &*found->second.Confirmed;
}

bool TFleetStates::Acknowledge(const std::string& address) {
  const auto found = devices_.find(address);
  if (found == devices_.end() || !found->second.Confirmed) return false;
  const TFleetMark mark = found->second.Confirmed->Mark();
  if (!NeedsAttention(mark, false)) return false;
  found->second.AcknowledgedMark = mark;
  return true;
}

bool TFleetStates::Acknowledged(const std::string& address) const {
  const auto found = devices_.find(address);
  return found != devices_.end() && found->second.AcknowledgedMark && found->second.Confirmed &&
         *found->second.AcknowledgedMark == found->second.Confirmed->Mark();
}

void TFleetStates::KeepOnly(const std::vector<std::string>& addresses) {
  const std::unordered_set<std::string> kept(addresses.begin(), addresses.end());
  for (auto it = devices_.begin(); it != devices_.end();) it = kept.count(it->first) ? std::next(it) : devices_.erase(it);
}

bool NeedsAttention(TFleetMark mark, bool acknowledged) {
  return !acknowledged && (mark == TFleetMark::Alarm || mark == TFleetMark::NoAnswer);
}

std::string ChangeWords(const TFleetChange& change) {
  std::string words;
  for (size_t i = 0; i < change.Parts.size(); ++i) words += (i ? ", " : "") + change.Parts[i];
  return words;
}

std::string ChangeLine(const std::string& label, const TFleetChange& change) {
  return label + ": " + ChangeWords(change);
}

TNotificationText NotificationText(const std::vector<std::string>& changeLines) {
  TNotificationText text;
  text.Summary = DeviceCount(changeLines.size()) + " changed";
  for (size_t i = 0; i < changeLines.size() && i < kMostNotificationLines; ++i)
    text.Body += (i ? "; " : "") + changeLines[i];
  if (changeLines.size() > kMostNotificationLines)
    text.Body += "; ... and " + std::to_string(changeLines.size() - kMostNotificationLines) + " more";
  return text;
}

}  // namespace qz::app
