#include "peers.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#endif

namespace qz::test {
namespace {

const char* kSnmpClientOptions = "-M /nonexistent -m '' -v1 -r 1 -t 1";

#ifdef _WIN32
// Under wine, Z: is the Unix root.
const char* kUnixDrive = "Z:";

std::string BridgeFolder() {
  const char* folder = std::getenv("QZ_UNIX_BRIDGE");
  return folder ? folder : "";
}
#endif

}  // namespace

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string SnmpPeersUnavailable() {
  int code = 0;
  if (RunCommand("id -u", &code) != "0\n") return "needs root to run agents on port 161";
  RunCommand("command -v snmpd snmpget snmpset python3 >/dev/null", &code);
  if (code != 0) return "needs snmpd, snmpget, snmpset and python3 (Debian: snmpd snmp)";
  return {};
}

#ifdef _WIN32

std::string UnixPath(const std::string& path) {
  std::string unix = path.rfind(kUnixDrive, 0) == 0 ? path.substr(2) : path;
  for (char& c : unix)
    if (c == '\\') c = '/';
  return unix;
}

// The commands run in the Unix shell of tests/support/unix_bridge.py, which
// leaves their output and exit status in files of the bridge folder.
std::string RunCommand(const std::string& command, int* exitCode) {
  if (exitCode) *exitCode = -1;
  const std::string bridge = BridgeFolder();
  if (bridge.empty()) return {};
  static std::atomic<int> next{0};
  const std::string base =
      bridge + "/run-" + std::to_string(_getpid()) + "-" + std::to_string(next++);
  WriteFileBytes(kUnixDrive + base + ".new", command);
  std::error_code ignored;
  std::filesystem::rename(kUnixDrive + base + ".new", kUnixDrive + base + ".sh", ignored);
  const std::string status = kUnixDrive + base + ".status";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  while (!std::filesystem::exists(status, ignored) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const std::string output = ReadFileBytes(kUnixDrive + base + ".out");
  if (exitCode && std::filesystem::exists(status, ignored)) *exitCode = std::atoi(ReadFileBytes(status).c_str());
  for (const char* end : {".out", ".status"}) std::filesystem::remove(kUnixDrive + base + end, ignored);
  return output;
}

#else

std::string UnixPath(const std::string& path) { return path; }

std::string RunCommand(const std::string& command, int* exitCode) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (exitCode) *exitCode = -1;
    return output;
  }
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  const int status = pclose(pipe);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

#endif

long StartBackground(const std::string& command) {
  return std::atol(RunCommand("(" + command + ") >/dev/null 2>&1 </dev/null & echo $!").c_str());
}

void StopBackground(long processId) {
  if (processId <= 0) return;
  const std::string id = std::to_string(processId);
  // Gone means no longer running: nobody may reap an orphan (a zombie).
  RunCommand("kill " + id + " 2>/dev/null; for i in $(seq 500); do case $(cut -d' ' -f3 /proc/" + id +
             "/stat 2>/dev/null) in ''|Z) break;; esac; sleep 0.01; done");
}

// Below the bridge folder where there is one, so that the shell sees it too.
ScratchDir::ScratchDir(const std::string& tag) {
#ifdef _WIN32
  const std::filesystem::path base =
      BridgeFolder().empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(kUnixDrive + BridgeFolder());
#else
  const std::filesystem::path base = std::filesystem::temp_directory_path();
#endif
  std::random_device seed;
  std::mt19937 pick(seed());
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const auto candidate = base / ("qz-" + tag + "-" + std::to_string(pick() % 1000000));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
  }
  if (path_.empty()) throw std::runtime_error("cannot create a folder in " + base.string());
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

DeviceLab::DeviceLab(const std::string& labText) : dir_("lab") {
  WriteFileBytes(dir_.File("devices.lab"), labText);
  int code = 0;
  const std::string output =
      RunCommand("python3 " + ShellQuoted(std::string(QZ_SOURCE_DIR) + "/tools/device_lab.py") + " start " +
                     ShellQuoted(UnixPath(dir_.File("devices.lab"))) + " " + ShellQuoted(UnixPath(dir_.File("run"))) + " 2>&1",
                 &code);
  started_ = code == 0;
  if (!started_) ADD_FAILURE() << "device lab did not start: " << output;
}

void DeviceLab::StopDevice(const std::string& address) {
  RunCommand("python3 " + ShellQuoted(std::string(QZ_SOURCE_DIR) + "/tools/device_lab.py") + " stop " +
             ShellQuoted(UnixPath(dir_.File("run"))) + " " + ShellQuoted(address));
}

long DeviceLab::RequestsServed() const {
  const std::string count =
      RunCommand("cat " + ShellQuoted(UnixPath(dir_.File("run"))) + "/*/log 2>/dev/null | grep -c 'Connection from UDP'");
  return std::atol(count.c_str());
}

DeviceLab::~DeviceLab() {
  RunCommand("python3 " + ShellQuoted(std::string(QZ_SOURCE_DIR) + "/tools/device_lab.py") + " stop " +
             ShellQuoted(UnixPath(dir_.File("run"))));
}

std::string SnmpGetText(const std::string& address, const std::string& oid,
                        const std::string& community) {
  std::string text = RunCommand(std::string("snmpget ") + kSnmpClientOptions + " -Oqv -c " +
                                ShellQuoted(community) + " " + address + " " + oid + " 2>/dev/null");
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

bool SnmpSetValue(const std::string& address, const std::string& oid, char type,
                  const std::string& value, const std::string& community) {
  int code = 0;
  RunCommand(std::string("snmpset ") + kSnmpClientOptions + " -c " + ShellQuoted(community) + " " +
                 address + " " + oid + " " + type + " " + ShellQuoted(value) + " >/dev/null 2>&1",
             &code);
  return code == 0;
}

long StartBackgroundReady(const std::string& command, const std::string& readyFile) {
  long processId = StartBackground(command);
  int code = 0;
  RunCommand("for i in $(seq 500); do test -e " + ShellQuoted(readyFile) + " && exit 0; sleep 0.01; done; exit 1", &code);
  if (code != 0) {
    StopBackground(processId);
    processId = 0;
  }
  return processId;
}

std::string ScanLab(const std::string& prefix) {
  return "[" + prefix + "1]\n"
         "type = QZ120\nfirmware = SNMP station vers. 1.05\nname = Rack 3 station\nlocation = Hall B\n"
         "[" + prefix + "3]\n"
         "type = QZ120\nfirmware = SNMP station vers. 1.06\nname = Roof relay\nlocation = Tower 2\n"
         "[" + prefix + "5]\n"
         "type = QZ300\nfirmware = SNMP station vers. 2.10\nname = Main distribution\nlocation = Hall A\n"
         "[" + prefix + "7]\n"
         "type = QZ120\nenterprise = 8072\nname = Foreign box\n"
         "[" + prefix + "9]\n"
         "type = QZ120\nsysdescr = Bootloader 0.9 Base unit QZ120\nname = Service mode\n";
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace qz::test
