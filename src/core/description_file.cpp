#include "description_file.h"

#include <algorithm>

#include "text.h"
#include "text_file.h"

namespace qz::app {
namespace {

// The record's text, consumed from the left as fields are taken. With no TAB
// left nothing is removed, so a record that runs out of fields yields its
// last field again.
class RecordCursor {
 public:
  explicit RecordCursor(std::string line) : rest_(std::move(line)) {}

  std::string NextField() {
    SkipPastTab();
    return rest_.substr(0, rest_.find('\t'));
  }
  std::string RestOfLine() {
    SkipPastTab();
    return rest_;
  }
  std::string& Remaining() { return rest_; }

 private:
  void SkipPastTab() {
    const auto tab = rest_.find('\t');
    if (tab != std::string::npos) rest_.erase(0, tab + 1);
  }
  std::string rest_;
};

// A box's layout: where its next control goes, in columns of rowsPerColumn.
class BoxCursor {
 public:
  BoxCursor(int32_t rowStep, int32_t rowsPerColumn) : rowStep_(rowStep), rowsPerColumn_(rowsPerColumn) {}
  void Place(DescriptionRecord& record) {
    record.Left = left_;
    record.Top = top_;
    record.Index = count_++;
    top_ += rowStep_;
    if (++row_ == rowsPerColumn_) {
      left_ += 140;
      top_ = 24;
      row_ = 0;
    }
  }
  int32_t Count() const { return count_; }

 private:
  int32_t rowStep_;
  int32_t rowsPerColumn_;
  int32_t left_ = 8;
  int32_t top_ = 24;
  int32_t row_ = 0;
  int32_t count_ = 0;
};

std::string CutOid(const std::string& oid) { return oid.substr(0, kMaxStoredOidLength); }

// "Caption,item0,item1,...,itemN," followed by a TAB and the OID; false for
// choices that do not keep that form, which would leave the items unbounded.
bool TakeChoices(RecordCursor& cursor, DescriptionRecord& record) {
  const std::string choices = cursor.NextField();
  std::string& rest = cursor.Remaining();
  if (choices.empty() || choices.back() != ',' || rest.size() <= choices.size() ||
      rest[choices.size()] != '\t')
    return false;
  size_t start = 0;
  size_t comma = choices.find(',');
  record.Name = choices.substr(0, comma);
  for (start = comma + 1; start < choices.size(); start = comma + 1) {
    comma = choices.find(',', start);
    record.Items.push_back(choices.substr(start, comma - start));
  }
  rest.erase(0, choices.size());
  record.OID = CutOid(cursor.RestOfLine());
  return true;
}

}  // namespace

DeviceDescription ParseDeviceDescription(const std::string& fileBytes) {
  DeviceDescription description;
  BoxCursor leds(20, 8), values(30, 6), parameters(30, 8);
  for (const std::string& line : SplitLines(fileBytes)) {
    if (line.empty() || line[0] == ';') continue;
    if (description.Records.size() == kMaxDescriptionRecords) {
      description.RecordsCut = true;
      break;
    }
    RecordCursor cursor(line);
    DescriptionRecord record;
    switch (line[0]) {
      case 'A':
        record.Kind = RecordKind::StatusLed;
        record.Name = cursor.NextField();
        record.OID = cursor.RestOfLine();
        leds.Place(record);
        break;
      case 'M': {
        record.Kind = RecordKind::MeasuredValue;
        record.Name = cursor.NextField();
        for (int32_t* number : {&record.Offset, &record.Factor, &record.Decimals}) {
          const std::string text = cursor.NextField();
          if (!ParseInt32(text, *number)) {
            description.Error = "'" + text + "' is not a valid integer value";
            description.ParameterCount = parameters.Count();
            return description;
          }
        }
        record.OID = CutOid(cursor.NextField());
        values.Place(record);
        break;
      }
      case 'P': {
        record.Kind = RecordKind::Parameter;
        const std::string subKind = cursor.NextField();
        if (subKind.empty()) continue;
        if (subKind[0] == 'E') {
          if (!TakeChoices(cursor, record)) continue;
          record.HasControls = true;
        }
        parameters.Place(record);
        break;
      }
      case 'S':
      case 'V':
        record.Kind = line[0] == 'S' ? RecordKind::SerialNumber : RecordKind::Version;
        record.OID = cursor.RestOfLine();
        break;
      default:
        continue;
    }
    description.Records.push_back(std::move(record));
  }
  description.ParameterCount = parameters.Count();
  return description;
}

namespace {
bool IsFileNameOctet(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.';
}
}  // namespace

bool IsSafeDeviceType(const std::string& deviceType) {
  return !deviceType.empty() && deviceType.find("..") == std::string::npos &&
         std::all_of(deviceType.begin(), deviceType.end(), IsFileNameOctet);
}

std::string SanitisedDeviceType(const std::string& deviceType) {
  std::string sanitised = deviceType;
  for (char& c : sanitised)
    if (!IsFileNameOctet(c)) c = '_';
  for (auto at = sanitised.find(".."); at != std::string::npos; at = sanitised.find("..")) sanitised[at] = '_';
  return sanitised;
}

std::string DescriptionFilePath(const std::string& deviceType) {
#ifdef _WIN32
  return ".\\DeviceFiles\\" + deviceType + ".par";
#else
  return "./DeviceFiles/" + deviceType + ".par";
#endif
}

}  // namespace qz::app
