// The program as an operator starts it: its command line, and the working
// folder of its own that it makes when started elsewhere.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "peers.h"

using namespace qz::test;

TEST(Program, CommandLine) {
  const std::string program = QZ_EXPLORER_PROGRAM;
  int code = -1;
  EXPECT_EQ(RunCommand(program + " --version", &code), "QZ Explorer 1.0.0\n");
  EXPECT_EQ(code, 0);
  EXPECT_NE(RunCommand(program + " --help", &code).find("--workdir DIR"), std::string::npos);
  EXPECT_EQ(code, 0);
  // A wrong command line is one line on the error output, not the whole help.
  ScratchDir dir("commandline");
  const struct {
    std::string arguments;
    std::string said;
  } wrong[] = {{"--colour", "qz-explorer: unknown option --colour; --help lists the options\n"},
               {"stray", "qz-explorer: unexpected argument \"stray\"; --help lists the options\n"},
               {"--workdir " + dir.File("typo"),
                "qz-explorer: the folder " + dir.File("typo") + " does not exist (--create makes it); --help lists the options\n"}};
  for (const auto& c : wrong) {
    EXPECT_EQ(RunCommand(program + " " + c.arguments + " 2>&1 >/dev/null", &code), c.said);
    EXPECT_EQ(code, 2) << c.arguments;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("typo")));
}

TEST(Program, StartedElsewhereItWorksInAFolderOfTheUsersOwn) {
  ScratchDir home("home");
  ScratchDir elsewhere("elsewhere");
  // The user's folder holds settings of the test's own: a start-up scan of
  // one silent loopback address, whose device list shows where it worked.
  const std::string folder = home.Path() + "/.local/share/qz-explorer";
  std::filesystem::create_directories(folder);
  const std::string settings = "127.0.0.250\r\n127.0.0.250\r\ntrue\r\nkelvor\r\nstranix\r\n20\r\n1\r\nfalse\r\n100\r\n";
  WriteFileBytes(folder + "/QZexplorer.ini", settings);
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(elsewhere.Path().c_str()) != 0) _exit(3);
    setenv("HOME", home.Path().c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(QZ_EXPLORER_PROGRAM, QZ_EXPLORER_PROGRAM, static_cast<char*>(nullptr));
    _exit(4);
  }
  const std::string deviceList = folder + "/QZdevices.cfg";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::exists(deviceList) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Asked to end from outside (the desktop's logout), it ends as File > Exit does.
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "ended by signal " << WTERMSIG(status);
  ASSERT_TRUE(std::filesystem::exists(deviceList));
  EXPECT_EQ(ReadFileBytes(deviceList), ";-------- Machine generated file - DO NOT EDIT !!! -----\r\n");
  EXPECT_EQ(ReadFileBytes(folder + "/QZexplorer.ini"), settings);
  EXPECT_TRUE(std::filesystem::is_directory(folder + "/DeviceFiles"));
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.Path()));
}
