#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <QMessageBox>

#include "application.h"
#include "command_line.h"
#include "history_recorder.h"
#include "main_window.h"
#include "process_hooks.h"
#include "program_version.h"
#include "socket_platform.h"
#include "working_folder.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The description files the installation shares.
std::string SharedDeviceFiles(const char* programPath) {
  std::error_code ignored;
  const std::filesystem::path program = std::filesystem::canonical("/proc/self/exe", ignored);
  const std::filesystem::path bin = program.empty() ? std::filesystem::path(programPath).parent_path() : program.parent_path();
  return qz::app::SharedDataFolder(bin.string()) + "/DeviceFiles";
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
  const qz::app::TStartOptions options = qz::app::ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc));
  const std::string name = std::filesystem::path(argv[0]).filename().string();
  std::string problem = options.Error;
  if (problem.empty() && !options.ShowHelp && !options.ShowVersion) problem = qz::app::WorkDirProblem(options);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s; --help lists the options\n", name.c_str(), problem.c_str());
    return 2;
  }
  if (options.ShowHelp) {
    std::fputs(qz::app::HelpText(name).c_str(), stdout);
    return 0;
  }
  if (options.ShowVersion) {
    std::printf("QZ Explorer %d.%d.%d\n", qz::app::kVersionMajor, qz::app::kVersionMinor, qz::app::kVersionRelease);
    return 0;
  }
  std::error_code error;
#ifdef _WIN32
  // A Windows user's programs keep their data in the application data folder.
  const std::string userDataHome = Environment("APPDATA");
#else
  const std::string userDataHome = Environment("XDG_DATA_HOME");
#endif
  const std::string folder = qz::app::ChooseWorkingFolder(options, std::filesystem::current_path(error).string(),
                                                          userDataHome, Environment("HOME"));
  const std::string sharedDeviceFiles = SharedDeviceFiles(argv[0]);
  const qz::app::TSeedResult seeded = qz::app::SeedDeviceFiles(sharedDeviceFiles, folder);
  if (seeded.Failure.empty())
    std::filesystem::current_path(folder, error);
  else
    error = std::make_error_code(std::errc::io_error);

  if (!options.Command.empty()) {
    // No display is needed, nor opened.
    if (error) {
      std::fprintf(stderr, "%s: the working folder %s cannot be used\n", name.c_str(), folder.c_str());
      return qz::app::kCommandFailed;
    }
    if (const std::string failure = qz::StartSocketLibrary(); !failure.empty()) {
      std::fprintf(stderr, "%s: %s\n", name.c_str(), failure.c_str());
      return qz::app::kCommandFailed;
    }
    // Progress only where someone watches it, on one line rewritten.
    const bool watched = StandardErrorIsTerminal();
    const qz::app::TCommandResult result = qz::app::RunCommand(options, [watched](const std::string& progress) {
      if (watched) std::fprintf(stderr, "\r%s ", progress.c_str());
    });
    if (watched) std::fputs("\r\x1b[K", stderr);
    std::fwrite(result.Out.data(), 1, result.Out.size(), stdout);
    if (!result.Error.empty()) std::fprintf(stderr, "%s: %s\n", name.c_str(), result.Error.c_str());
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "%s: the output could not be written\n", name.c_str());
      return qz::app::kCommandFailed;
    }
    return result.Status;
  }
  TApplication application(argc, argv);
  if (error) {
    QMessageBox::critical(nullptr, "QZ Explorer",
                          QString("The working folder %1 cannot be used.").arg(QString::fromStdString(folder)));
    return 1;
  }
  if (const std::string failure = qz::StartSocketLibrary(); !failure.empty()) {
    QMessageBox::critical(nullptr, "QZ Explorer", QString::fromStdString(failure));
    return 1;
  }
  const qz::app::TProcessHooks hooks;
  int status = 0;
  {
    qz::app::TfrmMain frmMain;
    frmMain.show();
    if (!seeded.Differing.empty())
      frmMain.SayAtStart(QString::fromStdString(
          qz::app::DifferingDescriptionFilesText(seeded.Differing, sharedDeviceFiles)));
    status = application.exec();
  }
  // A history database that does not answer keeps a thread waiting on it:
  // everything of the program is saved by now, so the program ends without
  // the clean-up that would wait for that thread.
  if (!qz::history::TDatabaseThread::AllEnded(std::chrono::milliseconds(1000))) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}
