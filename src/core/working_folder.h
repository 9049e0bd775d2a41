#pragma once
// Where the program works and what its command line asks: the folder of its
// settings and device list (the one it is started in when that holds a
// settings file, --workdir DIR, else a folder of the user's own), and
// --version and --help.
#include <optional>
#include <string>
#include <vector>

namespace qz::app {

struct TStartOptions {
  bool ShowVersion = false;
  bool ShowHelp = false;
  std::optional<std::string> WorkDir;
  bool CreateWorkDir = false;  // --create: --workdir may name a folder to make
  std::string Command;         // "scan", "export" or "poll": run without a window
  std::string Format = "csv";  // export --format csv|json
  std::string Range;           // scan --range FIRST-LAST (else the settings' range)
  std::string Community;       // scan --community NAME (else the settings' read community)
  bool Yes = false;            // scan --yes: more than kUnconfirmedScanAddresses addresses
  std::string Error;  // what was wrong with the command line, or empty
};

// The program's arguments (without its own name). Options starting with a
// single "-" are Qt's (-platform NAME, -style NAME, -reverse ...) and left to
// it; an unknown "--" option or a stray argument is an error.
TStartOptions ParseStartOptions(const std::vector<std::string>& arguments);

// Why the --workdir folder cannot be worked in: it is not a folder, or does
// not exist and --create was not given (a mistyped path is not made). Empty
// when it can be, or without --workdir.
std::string WorkDirProblem(const TStartOptions& options);

// The text --help prints.
std::string HelpText(const std::string& programName);

// --workdir when given; else the current folder when it holds the settings
// file (a working folder made by hand, or the demo's); else
// $XDG_DATA_HOME/qz-explorer, or ~/.local/share/qz-explorer without it.
std::string ChooseWorkingFolder(const TStartOptions& options, const std::string& currentFolder,
                                const std::string& xdgDataHome, const std::string& home);

// The description files of the installation (sharedDeviceFiles) in the
// user's folder/DeviceFiles: one that is not there is copied; a copy the
// user never changed follows a newer installed one (folder/DeviceFiles/
// .installed keeps what was copied); a copy that differs otherwise (the
// user's own, or copied before that record was kept) stays, and is named
// once for each installed version that differs from it.
struct TSeedResult {
  std::string Failure;  // why the folder cannot be made, or empty
  std::vector<std::string> Differing;  // file names, to be said once
};
TSeedResult SeedDeviceFiles(const std::string& sharedDeviceFiles, const std::string& folder);
inline const char* const kInstalledRecordName = ".installed";

// What the window says of the copies that differ from the installed files.
std::string DifferingDescriptionFilesText(const std::vector<std::string>& names, const std::string& sharedDeviceFiles);

// What an installation shares: <prefix>/share/qz-explorer beside the
// <prefix>/bin that holds the program (the build folder is laid out alike).
std::string SharedDataFolder(const std::string& programFolder);

enum class THelpLanguage { English, Russian };

// The compiled help file Help names, as the window says it (./Help/QZ_Explorer_E.chm).
std::string CompiledHelpName(THelpLanguage language);

// What Help opens for a language: the compiled help file in the working
// folder's Help folder when one is there, else the shared HTML manual of
// that language when it is there; empty when neither is.
std::string HelpDocument(THelpLanguage language, const std::string& workingFolder, const std::string& sharedFolder);

}  // namespace qz::app
