#pragma once
// Real peers for the tests: emulated devices of the device lab (net-snmp's
// snmpd on loopback addresses), command-line SNMP clients, and scratch folders.
#include <string>
#include <type_traits>
#include <utility>

#include <gtest/gtest.h>

namespace qz::test {

// Why the peers cannot run here (not root, snmpd missing), or empty.
std::string SnmpPeersUnavailable();

// Runs a command of the Unix shell; returns its standard output. A test
// program built for Windows and run under wine reaches the shell through the
// folder named by QZ_UNIX_BRIDGE (see tools/wine-tests.sh).
std::string RunCommand(const std::string& command, int* exitCode = nullptr);

// The text quoted for the shell.
std::string ShellQuoted(const std::string& text);

// A path of this program as the Unix shell names it (the same on Linux; a
// wine drive path turned back into the Unix one).
std::string UnixPath(const std::string& path);

// Starts a command of the Unix shell in the background; its process id, or
// 0 when it did not start. StopBackground ends it and waits until it is gone.
long StartBackground(const std::string& command);
void StopBackground(long processId);
// StartBackground, then waits up to five seconds for the program to make
// readyFile; 0 (and the program stopped) when it did not.
long StartBackgroundReady(const std::string& command, const std::string& readyFile);

// A fresh folder below the system's temporary folder, removed when destroyed.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Emulated devices started from a lab description (see tools/device_lab.py),
// stopped when the object is destroyed.
class DeviceLab {
 public:
  explicit DeviceLab(const std::string& labText);
  ~DeviceLab();
  DeviceLab(const DeviceLab&) = delete;
  DeviceLab& operator=(const DeviceLab&) = delete;
  bool Started() const { return started_; }
  void StopDevice(const std::string& address);
  // How many requests the lab's agents have answered so far (from their logs).
  long RequestsServed() const;

 private:
  ScratchDir dir_;
  bool started_ = false;
};

// The lab of the scan's tests, on prefix + "1", "3", "5", "7" and "9": three
// of the maker's stations (the first an early QZ120exp firmware), a foreign
// agent, and one of the maker's boxes in service mode.
std::string ScanLab(const std::string& prefix);

// A test suite whose tests share one device lab, started from Lab (a text,
// or a function that gives it) before the suite's first test; without the
// peers every test is skipped.
template <auto Lab, typename Base>
class WithSuiteLab : public Base {
 protected:
  static void SetUpTestSuite() {
    if (!SnmpPeersUnavailable().empty()) return;
    if constexpr (std::is_invocable_v<decltype(Lab)>)
      lab_ = new DeviceLab(Lab());
    else
      lab_ = new DeviceLab(Lab);
  }
  static void TearDownTestSuite() {
    delete lab_;
    lab_ = nullptr;
  }
  void SetUp() override {
    if (const std::string why = SnmpPeersUnavailable(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(lab_ && lab_->Started());
  }
  static inline DeviceLab* lab_ = nullptr;
};

// The value snmpget shows for one object, as its plain text (-Oqv).
std::string SnmpGetText(const std::string& address, const std::string& oid,
                        const std::string& community = "kelvor");
// snmpset of one object; true when the agent accepted it.
bool SnmpSetValue(const std::string& address, const std::string& oid, char type,
                  const std::string& value, const std::string& community = "stranix");

// Puts an object of a lab device back to its value when it goes, however
// the test that changed it ended, so that the next test of a suite-wide lab
// finds the device as described.
class LabValueGuard {
 public:
  LabValueGuard(std::string address, std::string objectId, char type, std::string value)
      : address_(std::move(address)), oid_(std::move(objectId)), type_(type), value_(std::move(value)) {}
  ~LabValueGuard() { SnmpSetValue(address_, oid_, type_, value_); }
  LabValueGuard(const LabValueGuard&) = delete;
  LabValueGuard& operator=(const LabValueGuard&) = delete;

 private:
  std::string address_;
  std::string oid_;
  char type_;
  std::string value_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace qz::test
