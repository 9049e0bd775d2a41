#include "working_folder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>

#include "settings_file.h"
#include "text_file.h"

namespace qz::app {
namespace fs = std::filesystem;

namespace {

// Qt's own options that take a value (QGuiApplication's and the X11 platform's).
bool QtOptionTakesValue(const std::string& option) {
  static const char* const kWithValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                           "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-display",
                                           "-geometry", "-style", "-stylesheet", "-session", "-title", "-name"};
  return std::find(std::begin(kWithValue), std::end(kWithValue), option) != std::end(kWithValue);
}

}  // namespace

TStartOptions ParseStartOptions(const std::vector<std::string>& arguments) {
  TStartOptions options;
  bool formatGiven = false;
  bool scanOptionGiven = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--version" || argument == "-v") {
      options.ShowVersion = true;
    } else if (argument == "--help" || argument == "-h") {
      options.ShowHelp = true;
    } else if (argument == "--workdir") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        options.Error = "--workdir needs a folder";
        return options;
      }
      options.WorkDir = arguments[++i];
    } else if (argument.rfind("--workdir=", 0) == 0) {
      options.WorkDir = argument.substr(10);
      if (options.WorkDir->empty()) options.Error = "--workdir needs a folder";
    } else if (argument == "--create") {
      options.CreateWorkDir = true;
    } else if (argument == "--format" || argument.rfind("--format=", 0) == 0) {
      if (argument == "--format" && i + 1 == arguments.size()) {
        options.Error = "--format needs csv or json";
        return options;
      }
      options.Format = argument == "--format" ? arguments[++i] : argument.substr(9);
      formatGiven = true;
    } else if (argument == "--range" || argument == "--community") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        options.Error = argument + (argument == "--range" ? " needs FIRST-LAST" : " needs a name");
        return options;
      }
      (argument == "--range" ? options.Range : options.Community) = arguments[++i];
      scanOptionGiven = true;
    } else if (argument == "--yes") {
      options.Yes = true;
      scanOptionGiven = true;
    } else if (argument.rfind("--", 0) == 0) {
      options.Error = "unknown option " + argument;
      return options;
    } else if (argument.size() > 1 && argument[0] == '-') {
      if (QtOptionTakesValue(argument)) ++i;
    } else if (options.Command.empty() && (argument == "scan" || argument == "export" || argument == "poll")) {
      options.Command = argument;
    } else {
      options.Error = "unexpected argument \"" + argument + "\"";
      return options;
    }
  }
  if (options.CreateWorkDir && !options.WorkDir) options.Error = "--create goes with --workdir";
  else if (formatGiven && options.Command != "export") options.Error = "--format goes with export";
  else if (scanOptionGiven && options.Command != "scan") options.Error = "--range, --community and --yes go with scan";
  else if (options.Format != "csv" && options.Format != "json") options.Error = "--format is csv or json";
  return options;
}

std::string WorkDirProblem(const TStartOptions& options) {
  if (!options.WorkDir) return {};
  std::error_code error;
  const fs::file_status status = fs::status(*options.WorkDir, error);
  if (fs::is_directory(status)) return {};
  if (fs::exists(status)) return *options.WorkDir + " is not a folder";
  if (!options.CreateWorkDir) return "the folder " + *options.WorkDir + " does not exist (--create makes it)";
  return {};
}

std::string HelpText(const std::string& programName) {
  return "Usage: " + programName +
         " [--workdir DIR [--create]] [scan [--range FIRST-LAST] [--community NAME] [--yes]\n"
         "         | export [--format csv|json] | poll]\n"
         "Finds the maker's SNMP devices on an IPv4 range, shows and changes them.\n\n"
         "  scan           scan the settings' ranges (or those of --range, such as\n"
         "                 10.0.0.1-10.0.0.254,10.0.4.0/22; with --community) and write\n"
         "                 the device list as the window's scan does; the changes on\n"
         "                 stdout; more than 65,536 addresses need --yes\n"
         "  export         ask each listed device once and print the list as CSV\n"
         "                 (--format json: as JSON); no window is opened\n"
         "  poll           poll the listed devices once and print a JSON line for\n"
         "                 each; exit status 0 all normal, 1 some in alarm, 2 some\n"
         "                 not answering, 3 an error\n"
         "  --workdir DIR  keep the settings and the device list in DIR\n"
         "                 (default: the current folder when it holds QZexplorer.ini,\n"
         "                 else $XDG_DATA_HOME/qz-explorer or ~/.local/share/qz-explorer)\n"
         "  --create       make the --workdir folder when it does not exist\n"
         "  --version      print the version and stop\n"
         "  --help         print this text and stop\n";
}

std::string ChooseWorkingFolder(const TStartOptions& options, const std::string& currentFolder,
                                const std::string& xdgDataHome, const std::string& home) {
  if (options.WorkDir) return *options.WorkDir;
  std::error_code ignored;
  if (fs::is_regular_file(fs::path(currentFolder) / kSettingsFileName, ignored)) return currentFolder;
  // The XDG base directory rule: an empty or relative XDG_DATA_HOME is ignored.
  const fs::path dataHome =
      !xdgDataHome.empty() && fs::path(xdgDataHome).is_absolute() ? fs::path(xdgDataHome) : fs::path(home) / ".local/share";
  return (dataHome / "qz-explorer").generic_string();
}

namespace {

// Tells a changed copy from the one copied (FNV-1a, 64 bits): a change
// check, not a guard against anyone.
std::string Fingerprint(const std::string& bytes) {
  uint64_t hash = 14695981039346656037ULL;
  for (const unsigned char octet : bytes) hash = (hash ^ octet) * 1099511628211ULL;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// Per file name: the fingerprint of what was copied, and of the installed
// file last said to differ from the copy.
struct TInstalled {
  std::string Copied;
  std::string Said;
};

std::map<std::string, TInstalled> ParseInstalledRecord(const std::string& bytes) {
  std::map<std::string, TInstalled> record;
  for (const std::string& line : SplitLines(bytes)) {
    const size_t first = line.find('\t');
    const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (first == 0 || second == std::string::npos) continue;
    record[line.substr(0, first)] = {line.substr(first + 1, second - first - 1), line.substr(second + 1)};
  }
  return record;
}

std::string FormatInstalledRecord(const std::map<std::string, TInstalled>& record) {
  std::string bytes;
  for (const auto& [name, installed] : record) bytes += name + "\t" + installed.Copied + "\t" + installed.Said + "\n";
  return bytes;
}

}  // namespace

TSeedResult SeedDeviceFiles(const std::string& sharedDeviceFiles, const std::string& folder) {
  TSeedResult result;
  std::error_code error;
  // A working folder the program makes is its user's alone (an existing one keeps its mode).
  if (!fs::exists(folder, error)) {
    fs::create_directories(folder, error);
    if (error) return {error.message(), {}};
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
  }
  const fs::path target = fs::path(folder) / "DeviceFiles";
  fs::create_directories(target, error);
  if (error) return {error.message(), {}};
  if (!fs::is_directory(sharedDeviceFiles, error)) return result;
  const std::string recordPath = (target / kInstalledRecordName).string();
  const std::string recordBefore = ReadFile(recordPath).Bytes;
  std::map<std::string, TInstalled> record = ParseInstalledRecord(recordBefore);
  for (const auto& entry : fs::directory_iterator(sharedDeviceFiles, error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string name = entry.path().filename().string();
    const TFileRead shared = ReadFile(entry.path().string());
    if (!shared.Error.empty()) continue;
    const std::string installed = Fingerprint(shared.Bytes);
    const std::string copy = (target / name).string();
    TInstalled& known = record[name];
    if (!fs::exists(copy, error)) {
      if (WriteWholeFile(copy, shared.Bytes).empty()) known = {installed, {}};
      continue;
    }
    const TFileRead held = ReadFile(copy);
    if (!held.Error.empty()) continue;
    const std::string copied = Fingerprint(held.Bytes);
    if (copied == installed) {
      known = {installed, {}};
    } else if (copied == known.Copied) {
      // Copied by the program and never changed: it follows the installation.
      if (WriteWholeFile(copy, shared.Bytes).empty()) known = {installed, {}};
    } else if (known.Said != installed) {
      result.Differing.push_back(name);
      known.Said = installed;
    }
  }
  if (const std::string recordAfter = FormatInstalledRecord(record); recordAfter != recordBefore)
    WriteWholeFile(recordPath, recordAfter);
  std::sort(result.Differing.begin(), result.Differing.end());
  return result;
}

std::string DifferingDescriptionFilesText(const std::vector<std::string>& names, const std::string& sharedDeviceFiles) {
  if (names.empty()) return {};
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return "DeviceFiles: " + list + (names.size() == 1 ? " differs" : " differ") +
         " from the description files installed with this version (kept as they are; the installed ones are in " +
         sharedDeviceFiles + ")";
}

std::string SharedDataFolder(const std::string& programFolder) {
  return (fs::path(programFolder).parent_path() / "share" / "qz-explorer").lexically_normal().string();
}

std::string CompiledHelpName(THelpLanguage language) {
  return language == THelpLanguage::English ? "QZ_Explorer_E.chm" : "QZ_Explorer_R.chm";
}

std::string HelpDocument(THelpLanguage language, const std::string& workingFolder, const std::string& sharedFolder) {
  std::error_code ignored;
  const fs::path compiled = fs::path(workingFolder) / "Help" / CompiledHelpName(language);
  if (fs::is_regular_file(compiled, ignored)) return compiled.string();
  const fs::path manual =
      fs::path(sharedFolder) / "manual" / (language == THelpLanguage::English ? "en" : "ru") / "index.html";
  if (fs::is_regular_file(manual, ignored)) return manual.string();
  return {};
}

}  // namespace qz::app
