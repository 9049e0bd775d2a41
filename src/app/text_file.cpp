#include "text_file.h"

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace qz::app {
namespace {

std::string TemporaryOf(const std::string& path) { return path + ".new"; }

std::string SystemReason() { return std::strerror(errno); }

#ifdef _WIN32
int OpenForWriting(const std::string& path) {
  return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int WriteSome(int fd, const char* data, size_t size) { return ::_write(fd, data, static_cast<unsigned>(size)); }
int SyncFile(int fd) { return ::_commit(fd); }
int CloseFile(int fd) { return ::_close(fd); }
// Windows has no way to sync a folder's entries; its rename is durable by itself.
void SyncFolderOf(const std::string&) {}
#else
int OpenForWriting(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); }
ssize_t WriteSome(int fd, const char* data, size_t size) { return ::write(fd, data, size); }
int SyncFile(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }
void SyncFolderOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  const std::filesystem::path folder = parent.empty() ? std::filesystem::path(".") : parent;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
#endif

// Writes all of bytes to a new file at path and syncs it; the reason when that failed.
std::string WriteAndSync(const std::string& path, const std::string& bytes) {
  const int fd = OpenForWriting(path);
  if (fd < 0) return SystemReason();
  size_t written = 0;
  while (written < bytes.size()) {
    const auto n = WriteSome(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string reason = n < 0 ? SystemReason() : "nothing could be written";
      CloseFile(fd);
      return reason;
    }
    written += static_cast<size_t>(n);
  }
  if (SyncFile(fd) != 0) {
    const std::string reason = SystemReason();
    CloseFile(fd);
    return reason;
  }
  return CloseFile(fd) == 0 ? std::string() : SystemReason();
}

}  // namespace

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

TFileRead ReadFile(const std::string& path, size_t maxBytes) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return {{}, std::strerror(EISDIR)};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {{}, SystemReason()};
  TFileRead read;
  char chunk[64 * 1024];
  while (read.Bytes.size() < maxBytes && in.read(chunk, static_cast<std::streamsize>(std::min(sizeof chunk, maxBytes - read.Bytes.size()))).gcount() > 0)
    read.Bytes.append(chunk, static_cast<size_t>(in.gcount()));
  if (in.bad()) return {{}, SystemReason()};
  return read;
}

std::string ReadWholeFile(const std::string& path) { return ReadFile(path).Bytes; }

std::string WriteWholeFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = TemporaryOf(path);
  if (std::string reason = WriteAndSync(temporary, bytes); !reason.empty()) {
    std::remove(temporary.c_str());
    return reason;
  }
  std::error_code failed;
  std::filesystem::rename(temporary, path, failed);
  if (failed) {
    std::remove(temporary.c_str());
    return failed.message();
  }
  SyncFolderOf(path);
  return {};
}

void RemoveLeftoverTemporary(const std::string& path) {
  const std::string temporary = TemporaryOf(path);
  if (FileExists(temporary)) std::remove(temporary.c_str());
}

std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    auto end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, std::min(end - start, kMaxLineBytes + 1));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineBytes) line.resize(kMaxLineBytes);
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace qz::app
