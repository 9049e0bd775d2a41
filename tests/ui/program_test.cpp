// The program as an operator starts it: its command line, and the working
// folder of its own that it makes when started elsewhere.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "device_list_file.h"
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

// The commands that need no window, as cron runs them: no display, nothing
// but a PATH. poll's exit status says the worst of the devices; export's
// output is what other tools read.
TEST(Program, ExportAndPollRunWithoutADisplay) {
  if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
  DeviceLab lab(
      "[127.0.0.163]\ntype = QZ300\nfirmware = SNMP station vers. 2.10\nname = Normal\nlocation = Hall A\n\n"
      "[127.0.0.164]\ntype = QZ120\nfirmware = SNMP station vers. 1.06\nname = Alarmed\nlocation = Hall B\n"
      "set 1.3.6.1.4.1.98361.2.2.1.0 = 1\n");
  ASSERT_TRUE(lab.Started());
  ScratchDir dir("commands");
  const std::string command = "env -i PATH=/usr/bin:/bin " + std::string(QZ_EXPLORER_PROGRAM) + " --workdir " + dir.Path();
  int code = -1;
  // Without a settings file or a device list there is nothing to ask: one line says so.
  RunCommand(command + " poll 2>" + dir.File("said"), &code);
  EXPECT_EQ(code, 3);
  const std::string said = ReadFileBytes(dir.File("said"));
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("qz-explorer: no QZexplorer.ini"), std::string::npos) << said;

  WriteFileBytes(dir.File("QZexplorer.ini"),
                 "127.0.0.163\r\n127.0.0.165\r\nfalse\r\nkelvor\r\nstranix\r\n200\r\n1\r\nfalse\r\n500\r\n");
  const auto listOf = [&](std::initializer_list<const char*> addresses) {
    std::string list = ";-------- Machine generated file - DO NOT EDIT !!! -----\r\n";
    for (const char* address : addresses)
      list += std::string(address) + "\tUnit\tSite\t" + (std::string(address) == "127.0.0.163" ? "QZ300" : "QZ120") +
              "\tSNMP station vers. 1.06 \r\n";
    WriteFileBytes(dir.File("QZdevices.cfg"), list);
  };
  const struct {
    std::initializer_list<const char*> Devices;
    int Status;
  } polls[] = {{{"127.0.0.163"}, 0},
               {{"127.0.0.163", "127.0.0.164"}, 1},
               {{"127.0.0.163", "127.0.0.165"}, 2},
               {{"127.0.0.164", "127.0.0.165"}, 2}};
  for (const auto& poll : polls) {
    listOf(poll.Devices);
    const std::string lines = RunCommand(command + " poll", &code);
    EXPECT_EQ(code, poll.Status) << lines;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), static_cast<long>(poll.Devices.size())) << lines;
  }
  const std::string alarmed = RunCommand(command + " poll", &code);
  EXPECT_NE(alarmed.find("{\"address\": \"127.0.0.164\", \"name\": \"Unit\", \"type\": \"QZ120\", \"state\": \"alarm\", "
                         "\"alarms\": [\"Power supply\"], \"values\": {\"Temperature, C\": 23.5, \"Supply, V\": 6.75}}\n"),
            std::string::npos)
      << alarmed;

  listOf({"127.0.0.163", "127.0.0.164", "127.0.0.165"});
  const std::string csv = RunCommand(command + " export", &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "address,name,location,contact,type,firmware,serial,sysdescr,uptime_seconds,last_seen,alarms");
  EXPECT_NE(csv.find("\r\n127.0.0.165,Unit,Site,,QZ120,,,SNMP station vers. 1.06 ,,,\r\n"), std::string::npos) << csv;
  // JSON that a JSON reader takes, one object per device.
  RunCommand(command + " export --format json >" + dir.File("list.json"), &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(RunCommand("python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))))' " + dir.File("list.json"),
                       &code),
            "3\n");
  RunCommand(command + " poll --format json 2>/dev/null", &code);
  EXPECT_EQ(code, 2) << "--format goes with export";
}

// The command line's scan finds what the window's scan finds, and writes the
// same list file byte for byte, the list before kept as the previous one.
TEST(Program, TheCommandLineScanWritesTheWindowsList) {
  if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
  DeviceLab lab(ScanLab("127.0.0.17"));
  ASSERT_TRUE(lab.Started());
  const std::string settings = "127.0.0.170\r\n127.0.0.180\r\ntrue\r\nkelvor\r\nstranix\r\n200\r\n1\r\nfalse\r\n500\r\n";
  ScratchDir byWindow("window-scan");
  WriteFileBytes(byWindow.File("QZexplorer.ini"), settings);
  const pid_t child = fork();
  if (child == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(QZ_EXPLORER_PROGRAM, QZ_EXPLORER_PROGRAM, "--workdir", byWindow.Path().c_str(), static_cast<char*>(nullptr));
    _exit(4);
  }
  const std::string windowList = byWindow.File("QZdevices.cfg");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::exists(windowList) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // The scan's summary box is open: asked to end from outside, the program
  // still ends.
  kill(child, SIGTERM);
  const auto endBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (waitpid(child, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > endBy) {
      ADD_FAILURE() << "the program did not end on SIGTERM with the scan summary open";
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(std::filesystem::exists(windowList));

  ScratchDir byCommand("command-scan");
  WriteFileBytes(byCommand.File("QZexplorer.ini"), settings);
  const std::string older = std::string(qz::app::kDeviceListHeader) + "\r\n127.0.0.99\tOld\tGone\tQZ120\tSNMP station vers. 1.06 \r\n";
  WriteFileBytes(byCommand.File("QZdevices.cfg"), older);
  const std::string scan = std::string(QZ_EXPLORER_PROGRAM) + " --workdir " + byCommand.Path() + " scan";
  int code = -1;
  const std::string said = RunCommand(scan + " 2>&1", &code);
  EXPECT_EQ(code, 0) << said;
  EXPECT_EQ(ReadFileBytes(byCommand.File("QZdevices.cfg")), ReadFileBytes(windowList));
  EXPECT_EQ(ReadFileBytes(byCommand.File("QZdevices.prev")), older);
  EXPECT_NE(said.find("127.0.0.99"), std::string::npos) << "the changes name the device gone: " << said;
  EXPECT_NE(said.find("4 devices found\n"), std::string::npos) << said;
  // No progress lines when nobody watches the error output.
  EXPECT_EQ(said.find("asked "), std::string::npos) << said;

  // A range of more than 65,536 addresses is refused without --yes, before anything is sent.
  const std::string before = ReadFileBytes(byCommand.File("QZdevices.cfg"));
  const std::string refused = RunCommand(scan + " --range 127.0.0.0-127.3.255.255 2>&1", &code);
  EXPECT_EQ(code, 3);
  EXPECT_TRUE(refused.starts_with("qz-explorer: the range 127.0.0.0-127.3.255.255 holds ") &&
              refused.ends_with(" addresses; --yes scans them all\n"))
      << refused;
  RunCommand(scan + " --range 127.0.0.5-127.0.0.x 2>/dev/null", &code);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(ReadFileBytes(byCommand.File("QZdevices.cfg")), before);
  // Several ranges, a block among them.
  const std::string two = RunCommand(scan + " --range 127.0.0.171,127.0.0.174/31 2>&1", &code);
  EXPECT_EQ(code, 0) << two;
  EXPECT_NE(two.find("\n2 devices found\n"), std::string::npos) << two;
}
