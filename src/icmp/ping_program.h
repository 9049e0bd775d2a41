#pragma once
// The system's ping program as an echo channel's way out: run with a fixed
// argument list, its report read back as an echo outcome. Linux only.
#include <functional>
#include <string>
#include <vector>

#include "echo_channel.h"

namespace qz::icmp {

struct TEchoReport {
  bool Started = false;
  int Error = 0;  // errno when the program could not be started
  std::string Output;  // what it printed, at most kMostReportBytes
};

inline constexpr size_t kMostReportBytes = 65536;

// Runs arguments[0] with arguments (no shell), its output read while
// whileWaiting is called every few milliseconds; ended when it has not ended
// a second after timeoutMs.
TEchoReport RunPingProgram(const std::vector<std::string>& arguments, int timeoutMs,
                           const std::function<void()>& whileWaiting);

// iputils ping's report of one echo ("64 bytes from 127.0.0.1: icmp_seq=1
// ttl=64 time=0.045 ms", "From 10.1.1.1 icmp_seq=1 Time to live exceeded",
// ...) as an outcome; no such line is a time-out.
TEchoOutcome ParsePingReport(const std::string& output);

}  // namespace qz::icmp
