#pragma once
// What the fleet watch makes of each poll of a device: the alarm LEDs on,
// the values shown and those outside their limits, and from that a mark
// (normal, alarm, no answer, no description file). A device's state changes
// only when `confirm` polls in a row agree, so that one lost datagram raises
// nothing; the first state a device is seen in raises nothing either.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "description_file.h"
#include "device_model.h"
#include "value_limits.h"

namespace qz::app {

class TConfFile;

// "[Fleet]" of QZexplorer.conf.
struct TFleetSettings {
  bool Watch = false;        // Watch: the fleet is polled (off until the operator opens the Fleet window)
  bool Open = false;         // Open: the Fleet window was open at exit
  int IntervalSeconds = 30;  // Interval, 5 to 3600
  int Confirm = 2;           // Confirm: polls in a row that must agree, 1 to 10
  std::string OnChange;      // OnChange: a program and its arguments, run at each confirmed change
};
TFleetSettings FleetSettingsFrom(const TConfFile& conf);
// The type's chosen values ("Values/<type>" of [Fleet]).
std::string FleetValuesKey(const std::string& type);

// In growing order of concern.
enum class TFleetMark : uint8_t { Normal, NoDescription, NoAnswer, Alarm };

// "normal", "no description file", "no answer", "alarm".
const char* FleetMarkName(TFleetMark mark);

// What the fleet asks of a type and shows of it.
struct TFleetType {
  std::string Type;
  bool Described = false;  // a description file was read
  DeviceDescription Description;
  std::vector<size_t> Asked;        // the records asked (LEDs and values, in file order)
  std::vector<size_t> ShownValues;  // the value records the table shows
};

// shownCaptions: the operator's choice of values ("[Fleet] Values/<type>",
// captions separated by ";"); empty: the type's first two values.
TFleetType FleetType(const std::string& type, const DeviceDescription* description, const std::string& shownCaptions);
// The objects a poll asks: the asked records', or sysUpTime alone as a sign
// of life for a type without a description file.
std::vector<std::string> FleetOids(const TFleetType& type);

struct TFleetValue {
  std::string Caption;
  std::string Shown;  // as the panel shows it; empty without a number
  std::optional<double> Number;
  bool OutOfLimits = false;
};

struct TLimitBreach {
  std::string Caption;
  std::string Shown;
  std::string Limit;  // "-10..45"
  bool operator==(const TLimitBreach& other) const { return Caption == other.Caption; }
};

struct TFleetObservation {
  bool Described = false;
  bool Answered = false;
  std::vector<std::string> LitLeds;        // captions of the alarm LEDs on
  std::vector<TFleetValue> Values;         // the values the table shows
  std::vector<TLimitBreach> OutOfLimits;   // every value outside its limits
  TFleetMark Mark() const;
  // Whether two polls saw the same state (the values may differ within their limits).
  bool SameState(const TFleetObservation& other) const;
};

// readings: what each record of the type's description answered (by record
// index; records not read are default); answered: whether the device
// answered at all.
TFleetObservation Observe(const TFleetType& type, const std::vector<TObjectReading>& readings, bool answered,
                          const TValueLimits& limits, char decimalSeparator);

// A state confirmed by the polls: what changed, in words ("Mains A on",
// "no answer", "Temperature, C 52.0 outside -10..45").
struct TFleetChange {
  std::string Address;
  TFleetMark Was = TFleetMark::Normal;
  TFleetMark Now = TFleetMark::Normal;
  std::vector<std::string> Parts;
  // False while the operator's acknowledgement holds: the device stays in
  // the mark that was acknowledged.
  bool Notify = true;
};

class TFleetStates {
 public:
  explicit TFleetStates(int confirm) : confirm_(confirm < 1 ? 1 : confirm) {}

  // One poll of a device; the change it confirms, if any.
  std::optional<TFleetChange> Take(const std::string& address, const TFleetObservation& seen);
  // The state the polls confirmed; null before they have.
  const TFleetObservation* Confirmed(const std::string& address) const;
  // The operator has seen the device's alarm (or its silence): no
  // notification until it leaves that mark. False when there is nothing to
  // acknowledge.
  bool Acknowledge(const std::string& address);
  bool Acknowledged(const std::string& address) const;
  // Forgets the devices not listed any more.
  void KeepOnly(const std::vector<std::string>& addresses);

 private:
  struct Device {
    std::optional<TFleetObservation> Confirmed;
    std::optional<TFleetObservation> Candidate;
    int Agreeing = 0;
    std::optional<TFleetMark> AcknowledgedMark;
  };
  int confirm_;
  std::unordered_map<std::string, Device> devices_;
};

// Whether a device in this mark waits for the operator.
bool NeedsAttention(TFleetMark mark, bool acknowledged);

// "Mains A on, Mains B off".
std::string ChangeWords(const TFleetChange& change);
// "Hall 2 (QZ300): Mains A on, Mains B off".
std::string ChangeLine(const std::string& label, const TFleetChange& change);

struct TNotificationText {
  std::string Summary;  // "3 devices changed"
  std::string Body;     // the change lines, "; " between them, the first kMostLines of them
};
TNotificationText NotificationText(const std::vector<std::string>& changeLines);
inline constexpr size_t kMostNotificationLines = 10;

}  // namespace qz::app
