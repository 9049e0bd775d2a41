#pragma once
// The work that needs no window, for cron and for other monitoring systems,
// run in the working folder with its settings and device list:
//   scan [--range FIRST-LAST] [--community NAME] [--yes]
//                               the window's scan: the device list written
//                               (the one before kept as the previous list),
//                               the changes printed
//   export [--format csv|json]  each listed device asked once, the list as
//                               CSV or JSON (the window's File > Export)
//   poll                        one fleet poll of the listed devices: a JSON
//                               line per device, and an exit status of 0 when
//                               all are normal, 1 when some are in alarm, 2
//                               when some do not answer (3: an error)
#include <functional>
#include <string>

#include "working_folder.h"

namespace qz::app {

struct TCommandResult {
  int Status = 0;
  std::string Out;    // for stdout
  std::string Error;  // one line, for stderr; empty when none
};

inline constexpr int kCommandAllNormal = 0;
inline constexpr int kCommandSomeAlarm = 1;
inline constexpr int kCommandSomeSilent = 2;
inline constexpr int kCommandFailed = 3;

// Runs options.Command in the current folder; progress, when given, is
// told how a scan goes now and then ("asked 120 of 254, found 3").
TCommandResult RunCommand(const TStartOptions& options,
                          const std::function<void(const std::string&)>& progress = {});

}  // namespace qz::app
