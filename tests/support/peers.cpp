#include "peers.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <stdexcept>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qz::test {
namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

const char* kSnmpClientOptions = "-M /nonexistent -m '' -v1 -r 1 -t 1";

}  // namespace

std::string SnmpPeersUnavailable() {
  if (geteuid() != 0) return "needs root to run agents on port 161";
  int code = 0;
  RunCommand("command -v snmpd snmpget snmpset python3 >/dev/null", &code);
  if (code != 0) return "needs snmpd, snmpget, snmpset and python3 (Debian: snmpd snmp)";
  return {};
}

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

ScratchDir::ScratchDir(const std::string& tag) {
  std::string pattern = (std::filesystem::temp_directory_path() / ("qz-" + tag + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

DeviceLab::DeviceLab(const std::string& labText) : dir_("lab") {
  WriteFileBytes(dir_.File("devices.lab"), labText);
  int code = 0;
  const std::string output =
      RunCommand("python3 " + Quote(std::string(QZ_SOURCE_DIR) + "/tools/device_lab.py") + " start " +
                     Quote(dir_.File("devices.lab")) + " " + Quote(dir_.File("run")) + " 2>&1",
                 &code);
  started_ = code == 0;
  if (!started_) ADD_FAILURE() << "device lab did not start: " << output;
}

void DeviceLab::StopDevice(const std::string& address) {
  RunCommand("python3 " + Quote(std::string(QZ_SOURCE_DIR) + "/tools/device_lab.py") + " stop " +
             Quote(dir_.File("run")) + " " + Quote(address));
}

long DeviceLab::RequestsServed() const {
  const std::string count =
      RunCommand("cat " + Quote(dir_.File("run")) + "/*/log 2>/dev/null | grep -c 'Connection from UDP'");
  return std::atol(count.c_str());
}

DeviceLab::~DeviceLab() {
  RunCommand("python3 " + Quote(std::string(QZ_SOURCE_DIR) + "/tools/device_lab.py") + " stop " +
             Quote(dir_.File("run")));
}

std::string SnmpGetText(const std::string& address, const std::string& oid,
                        const std::string& community) {
  std::string text = RunCommand(std::string("snmpget ") + kSnmpClientOptions + " -Oqv -c " +
                                Quote(community) + " " + address + " " + oid + " 2>/dev/null");
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

bool SnmpSetValue(const std::string& address, const std::string& oid, char type,
                  const std::string& value, const std::string& community) {
  int code = 0;
  RunCommand(std::string("snmpset ") + kSnmpClientOptions + " -c " + Quote(community) + " " +
                 address + " " + oid + " " + type + " " + Quote(value) + " >/dev/null 2>&1",
             &code);
  return code == 0;
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
