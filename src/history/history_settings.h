#pragma once
// Where the history goes, from the [History] keys of QZexplorer.conf:
//   Database = sqlite (the default: File in the working folder) | postgresql | off
//   File = QZhistory.db
//   Host, Port (5432), Name, User: the PostgreSQL server, database and user
//   PasswordFile: a file only its owner may read, holding the password;
//     the environment's QZ_HISTORY_PASSWORD is used when there is none
//   RetentionDays = 90
#include <functional>
#include <optional>
#include <string>

#include "history_store.h"

namespace qz::history {

// In the working folder, when the last session ended with readings the
// database did not take in time: their count, said at the next start.
inline const char* const kUnwrittenHistoryFileName = "QZhistory.unwritten";

struct THistoryChoice {
  std::optional<TStoreSettings> Store;  // none: recording is off
  std::string Problem;  // for the operator, when the keys say something impossible
};

// value gives a key's text (empty when absent); readPasswordFile the file's
// first line, or nullopt with why when it cannot be used.
THistoryChoice HistoryChoice(const std::function<std::string(const std::string& key)>& value,
                             const std::string& passwordFromEnvironment,
                             const std::function<std::optional<std::string>(const std::string& path, std::string& why)>&
                                 readPasswordFile);

// The first line of a password file that only its owner may read; nullopt
// with why otherwise (on Windows, where modes say little, any readable file).
std::optional<std::string> ReadOwnersPasswordFile(const std::string& path, std::string& why);

}  // namespace qz::history
