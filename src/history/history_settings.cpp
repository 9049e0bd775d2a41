#include "history_settings.h"

#include <filesystem>
#include <fstream>

#include "text.h"

namespace qz::history {

THistoryChoice HistoryChoice(const std::function<std::string(const std::string& key)>& value,
                             const std::string& passwordFromEnvironment,
                             const std::function<std::optional<std::string>(const std::string& path, std::string& why)>&
                                 readPasswordFile) {
  THistoryChoice choice;
  TStoreSettings settings;
  const auto number = [&](const std::string& key, int fallback, int low, int high) {
    int32_t parsed = 0;
    const std::string text = value(key);
    if (text.empty()) return fallback;
    if (!ParseInt32(Trimmed(text), parsed) || parsed < low || parsed > high) {
      choice.Problem = "History/" + key + " must be a number from " + std::to_string(low) + " to " +
                       std::to_string(high) + "; " + std::to_string(fallback) + " is used";
      return fallback;
    }
    return static_cast<int>(parsed);
  };
  settings.RetentionDays = number("RetentionDays", 90, 1, 36500);
  const std::string database = Trimmed(value("Database"));
  if (database == "off") return choice;
  if (database.empty() || database == "sqlite") {
    if (const std::string file = Trimmed(value("File")); !file.empty()) settings.File = file;
    choice.Store = settings;
    return choice;
  }
  if (database != "postgresql") {
    choice.Problem = "History/Database must be sqlite, postgresql or off, not \"" + database + "\"; recording is off";
    return choice;
  }
  settings.Dialect = TDialect::PostgreSQL;
  if (const std::string host = Trimmed(value("Host")); !host.empty()) settings.Host = host;
  settings.Port = number("Port", 5432, 1, 65535);
  settings.Database = Trimmed(value("Name"));
  settings.User = Trimmed(value("User"));
  if (settings.Database.empty() || settings.User.empty()) {
    choice.Problem = "History/Name and History/User are needed for postgresql; recording is off";
    return choice;
  }
  settings.Password = passwordFromEnvironment;
  if (const std::string file = Trimmed(value("PasswordFile")); !file.empty()) {
    std::string why;
    const auto password = readPasswordFile(file, why);
    if (!password) {
      choice.Problem = "History/PasswordFile " + file + ": " + why + "; recording is off";
      return choice;
    }
    settings.Password = *password;
  }
  choice.Store = settings;
  return choice;
}

std::optional<std::string> ReadOwnersPasswordFile(const std::string& path, std::string& why) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || !std::filesystem::is_regular_file(status)) {
    why = "not a readable file";
    return std::nullopt;
  }
#ifndef _WIN32
  using std::filesystem::perms;
  if ((status.permissions() & (perms::group_all | perms::others_all)) != perms::none) {
    why = "others may read it (chmod 600 it)";
    return std::nullopt;
  }
#endif
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) {
    why = "it is empty";
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace qz::history
