#pragma once
// What the program knows of the devices apart from the widgets that show it:
// the device list, and for the selected device its description file with
// what each record's object last answered. The list file is written from
// here and the history records from here, never from text on the screen.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "description_file.h"
#include "device_list_file.h"

namespace qz::app {

// The devices of the list, in address order (127.0.0.9 before 127.0.0.10).
class TDeviceList {
 public:
  void Assign(std::vector<DeviceRow> rows);
  void Clear() { rows_.clear(); }
  const std::vector<DeviceRow>& Rows() const { return rows_; }
  int Count() const { return static_cast<int>(rows_.size()); }
  // Null outside the list.
  const DeviceRow* At(int row) const;
  // The row of an address; -1 when it is not listed.
  int RowOf(const std::string& address) const;
  // A device renamed (on the device or by the operator); false when the row
  // already held that name, or is not listed.
  bool SetSysName(int row, const std::string& bytes);
  bool SetSysLocation(int row, const std::string& bytes);
  // The bytes of the device list file.
  std::string FileBytes() const { return FormatDeviceList(rows_); }

 private:
  std::vector<DeviceRow> rows_;
};

// What an object of the selected device answered last.
struct TObjectReading {
  bool Answered = false;
  std::string Reply;  // the device's bytes
  // The reply as a number where the record takes one: an LED's state (0
  // normal, 1 alarm, 2 undetermined, also without an answer), a measured
  // value's or a parameter's integer.
  std::optional<int64_t> Raw;
  // A measured value scaled by its record, at full precision.
  std::optional<double> Number;
};

// An LED's state from its object's reply: 0 normal, 1 alarm, 2 undetermined.
unsigned char LedState(bool answered, const std::string& reply);

// What a record's object answered, as the record reads it.
TObjectReading ObjectReadingOf(const DescriptionRecord& record, bool answered, const std::string& reply);

// The selected device's description, each record with its latest reading.
class TPanelModel {
 public:
  void Describe(DeviceDescription description);
  void Clear() { Describe({}); }
  const std::vector<DescriptionRecord>& Records() const { return description_.Records; }
  // Takes what a record's object answered (record: its index in Records()).
  const TObjectReading& Take(size_t record, bool answered, const std::string& reply);
  const TObjectReading& Latest(size_t record) const { return latest_.at(record); }

 private:
  DeviceDescription description_;
  std::vector<TObjectReading> latest_;
};

}  // namespace qz::app
