#pragma once
// What the history keeps of a device: its readings (LED states, measured
// values, the up-time), pings, and writes and renames, each at a time in
// milliseconds since 1970 (UTC).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qz::history {

// A device is its address and type: a rename, here or on the device, goes
// on with the same history. The name is what it was last called.
struct TDeviceKey {
  std::string Address;
  std::string Name;  // sysName
  std::string Type;
  bool operator==(const TDeviceKey& other) const { return Address == other.Address && Type == other.Type; }
};

enum class TSampleKind : int32_t { Led = 1, Value = 2, UpTime = 3 };

struct TSample {
  TSampleKind Kind = TSampleKind::Value;
  // What keeps a series one: the object's OID (a caption changes with the
  // code page, the locale or an edited description file; the OID does not).
  std::string Object;
  std::optional<int64_t> Raw;  // what the device answered (an LED's state 0, 1, or 2 for unknown); none without an answer
  std::string Shown;  // as the panel showed it
  // A measured value at full precision (the shown text may be rounded); none
  // when the device sent no number.
  std::optional<double> Value = std::nullopt;
  // What the panel calls the object: the series' name in plots and exports.
  // Empty: the object is its own name.
  std::string Caption = {};
};

// A series of a device: its key and the name it was last recorded under.
struct TSeriesName {
  std::string Object;
  std::string Caption;
  bool operator==(const TSeriesName&) const = default;
};

// One fill or refresh of the panel.
struct TReading {
  TDeviceKey Device;
  int64_t At = 0;
  std::vector<TSample> Samples;
};

struct TPing {
  TDeviceKey Device;
  int64_t At = 0;
  std::optional<int32_t> RoundTripMs;  // none: timed out
};

// Set: a parameter written; Rename: sysName or sysLocation written;
// Acknowledge: the operator saw the fleet's alarm of the device; Trap: the
// device sent a trap (Object: what it was, Written: its bindings).
enum class TWriteKind { Set, Rename, Acknowledge, Trap };

// "set", "rename", "acknowledge", "trap": as the history stores and exports them.
inline const char* WriteKindName(TWriteKind kind) {
  static const char* const kNames[] = {"set", "rename", "acknowledge", "trap"};
  return kNames[static_cast<int>(kind)];
}
inline TWriteKind WriteKindNamed(const std::string& name) {
  for (const TWriteKind kind : {TWriteKind::Rename, TWriteKind::Acknowledge, TWriteKind::Trap})
    if (name == WriteKindName(kind)) return kind;
  return TWriteKind::Set;
}

struct TWrite {
  TDeviceKey Device;
  int64_t At = 0;
  TWriteKind Kind = TWriteKind::Set;
  std::string Object;
  std::string Written;
  std::string Result;  // "ok", or why not
  std::string ReadBack;
};

// A batch the window hands over at once: written in one transaction.
struct TBatch {
  std::vector<TReading> Readings;
  std::vector<TPing> Pings;
  std::vector<TWrite> Writes;
  bool Empty() const { return Readings.empty() && Pings.empty() && Writes.empty(); }
};

// One point of a plotted series.
struct TPoint {
  int64_t At = 0;
  double Value = 0;
};

// What fell into one column of a plot: the first and last time, the
// smallest and largest value (for an LED: its worst state), how many
// readings, and for pings how many timed out.
struct TBucket {
  int64_t First = 0;
  int64_t Last = 0;
  double Min = 0;
  double Max = 0;
  int64_t Count = 0;
  int64_t Timeouts = 0;
};

}  // namespace qz::history
