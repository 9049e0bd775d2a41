#include "text_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qz::app {

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream out;
  out << in.rdbuf();
  return in.bad() ? std::string() : out.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return;
    out << bytes;
    out.flush();
    if (!out) {
      out.close();
      std::remove(temporary.c_str());
      return;
    }
  }
  std::error_code failed;
  std::filesystem::rename(temporary, path, failed);
  if (failed) std::remove(temporary.c_str());
}

std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    auto end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace qz::app
