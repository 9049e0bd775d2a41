#pragma once
// Limits an operator sets on measured values ("[Limits]" of QZexplorer.conf,
// a key "<type>/<caption>" and a value "low..high"): a value outside them is
// an alarm in the fleet and shows red in the panel. The maker's description
// files stay as shipped.
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qz::app {

class TConfFile;

struct TValueLimit {
  std::optional<double> Low;   // none: no lower limit
  std::optional<double> High;  // none: no upper limit
  bool Outside(double value) const { return (Low && value < *Low) || (High && value > *High); }
};

// "-10..45", "..45" or "-10.." (blanks allowed around each part, "," taken
// for a decimal point); none for anything else, or when low is above high.
std::optional<TValueLimit> ParseValueLimit(const std::string& text);
// The limit as the conf writes it: "-10..45".
std::string ValueLimitText(const TValueLimit& limit);

class TValueLimits {
 public:
  // The limit on a type's value, by its caption in the description file.
  const TValueLimit* Find(const std::string& type, const std::string& caption) const;
  // What could not be read, a line per key: "Limits/QZ300/Temperature: \"abc\" is not low..high".
  const std::vector<std::string>& Problems() const { return problems_; }

  friend TValueLimits LimitsFromConf(const TConfFile& conf);

 private:
  std::map<std::pair<std::string, std::string>, TValueLimit> limits_;
  std::vector<std::string> problems_;
};

TValueLimits LimitsFromConf(const TConfFile& conf);

}  // namespace qz::app
