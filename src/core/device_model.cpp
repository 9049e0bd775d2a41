#include "device_model.h"

#include <algorithm>

#include "measured_value.h"
#include "settings_file.h"
#include "text.h"

namespace qz::app {

void TDeviceList::Assign(std::vector<DeviceRow> rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const DeviceRow& a, const DeviceRow& b) {
    const uint32_t left = AddressValue(a.Address);
    const uint32_t right = AddressValue(b.Address);
    return left != right ? left < right : a.Address < b.Address;
  });
  rows_ = std::move(rows);
}

const DeviceRow* TDeviceList::At(int row) const {
  return row >= 0 && row < Count() ? &rows_[static_cast<size_t>(row)] : nullptr;
}

int TDeviceList::RowOf(const std::string& address) const {
  const auto found = std::find_if(rows_.begin(), rows_.end(), [&](const DeviceRow& row) { return row.Address == address; });
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

bool TDeviceList::SetSysName(int row, const std::string& bytes) {
  if (!At(row) || rows_[static_cast<size_t>(row)].SysName == bytes) return false;
  rows_[static_cast<size_t>(row)].SysName = bytes;
  return true;
}

bool TDeviceList::SetSysLocation(int row, const std::string& bytes) {
  if (!At(row) || rows_[static_cast<size_t>(row)].SysLocation == bytes) return false;
  rows_[static_cast<size_t>(row)].SysLocation = bytes;
  return true;
}

unsigned char LedState(bool answered, const std::string& reply) {
  if (answered && reply == "0") return 0;
  if (answered && reply == "1") return 1;
  return 2;
}

void TPanelModel::Describe(DeviceDescription description) {
  description_ = std::move(description);
  latest_.assign(description_.Records.size(), {});
}

const TObjectReading& TPanelModel::Take(size_t record, bool answered, const std::string& reply) {
  return latest_.at(record) = ObjectReadingOf(description_.Records.at(record), answered, reply);
}

TObjectReading ObjectReadingOf(const DescriptionRecord& described, bool answered, const std::string& reply) {
  TObjectReading reading{answered, answered ? reply : std::string(), std::nullopt, std::nullopt};
  int64_t number = 0;
  int32_t integer = 0;
  switch (described.Kind) {
    case RecordKind::StatusLed:
      reading.Raw = LedState(answered, reply);
      break;
    case RecordKind::MeasuredValue:
      if (answered && ParseMeasuredReply(reply, number)) {
        reading.Raw = number;
        reading.Number = MeasuredNumber(number, described.Offset, described.Factor, described.Decimals);
      }
      break;
    case RecordKind::Parameter:
      if (answered && ParseInt32(reply, integer)) reading.Raw = integer;
      break;
    case RecordKind::SerialNumber:
    case RecordKind::Version:
      break;
  }
  return reading;
}

}  // namespace qz::app
