// Any bytes as the settings file, the device list, QZexplorer.conf and device
// text: no crash, no hang, and what is written reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "conf_file.h"
#include "device_list_file.h"
#include "device_text.h"
#include "settings_file.h"
#include "text.h"

using namespace qz::app;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const TIniRecord settings = ParseSettings(bytes);
  try {
    ClampedNumber(settings.SNMPTimeOut, kSnmpTimeOutRange);
  } catch (const qz::EConvertError&) {
  }

  const auto rows = ParseDeviceList(bytes);
  const auto again = ParseDeviceList(FormatDeviceList(rows));
  if (FormatDeviceList(again) != FormatDeviceList(rows)) __builtin_trap();

  const TConfFile conf = ParseConf(bytes);
  if (FormatConf(ParseConf(FormatConf(conf))) != FormatConf(conf)) __builtin_trap();

  for (TCodePage page : {TCodePage::Latin1, TCodePage::Windows1251}) {
    const std::string shown = DecodeDeviceText(bytes, page);
    if (!IsValidUtf8(shown)) __builtin_trap();
    if (DecodeDeviceText(EncodeTypedText(shown, page), page) != shown) __builtin_trap();
  }
  return 0;
}
