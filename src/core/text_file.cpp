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
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qz::app {
namespace {

std::string TemporaryOf(const std::string& path) { return path + ".new"; }

std::string SystemReason() { return std::strerror(errno); }

#ifdef _WIN32
int OpenForWriting(const std::string& path) {
  return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int OpenForReading(const std::string& path) { return ::_open(path.c_str(), _O_RDONLY | _O_BINARY); }
int ReadSome(int fd, char* buffer, size_t size) { return ::_read(fd, buffer, static_cast<unsigned>(size)); }
bool IsRegular(int fd, std::string& found) {
  struct _stat64 status {};
  if (::_fstat64(fd, &status) != 0) {
    found = SystemReason();
    return false;
  }
  found = (status.st_mode & _S_IFDIR) ? std::strerror(EISDIR) : "Is a device, not a file";
  return (status.st_mode & _S_IFREG) != 0;
}
int WriteSome(int fd, const char* data, size_t size) { return ::_write(fd, data, static_cast<unsigned>(size)); }
int SyncFile(int fd) { return ::_commit(fd); }
int CloseFile(int fd) { return ::_close(fd); }
// Windows has no way to sync a folder's entries; its rename is durable by itself.
void SyncFolderOf(const std::string&) {}
#else
// Created new, never through a link: whatever stands at the name (a link
// someone put there) makes the write fail instead of following it.
int OpenForWriting(const std::string& path) {
  // Private from the start: a settings file holds the write community.
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}
// Without waiting for a writer, should the name be a FIFO.
int OpenForReading(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }
ssize_t ReadSome(int fd, char* buffer, size_t size) { return ::read(fd, buffer, size); }
// Whether the open file is a regular one; found says what it is otherwise
// (or why that could not be told).
bool IsRegular(int fd, std::string& found) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    found = SystemReason();
    return false;
  }
  found = S_ISDIR(status.st_mode)    ? std::strerror(EISDIR)
          : S_ISFIFO(status.st_mode) ? "Is a FIFO, not a file"
          : S_ISSOCK(status.st_mode) ? "Is a socket, not a file"
                                     : "Is a device, not a file";
  return S_ISREG(status.st_mode);
}
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

bool FileExistsAtAll(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

TFileRead ReadFile(const std::string& path, size_t maxBytes) {
  const int fd = OpenForReading(path);
  if (fd < 0) {
    const std::string reason = SystemReason();
    // Windows refuses to open a folder at all, as a matter of access.
    std::error_code ignored;
    return {{}, std::filesystem::is_directory(path, ignored) ? std::strerror(EISDIR) : reason};
  }
  TFileRead read;
  if (std::string found; !IsRegular(fd, found)) {
    CloseFile(fd);
    return {{}, found};
  }
  char chunk[64 * 1024];
  while (read.Bytes.size() < maxBytes) {
    const auto n = ReadSome(fd, chunk, std::min(sizeof chunk, maxBytes - read.Bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      read = {{}, SystemReason()};
      break;
    }
    if (n == 0) break;
    read.Bytes.append(chunk, static_cast<size_t>(n));
  }
  CloseFile(fd);
  return read;
}

std::string ReadWholeFile(const std::string& path) { return ReadFile(path).Bytes; }

std::string WriteWholeFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = TemporaryOf(path);
  // What an earlier write left (a link too) goes first; the new file is
  // then made where nothing stands.
  RemoveLeftoverTemporary(path);
  if (std::string reason = WriteAndSync(temporary, bytes); !reason.empty()) {
    RemoveLeftoverTemporary(path);
    return reason;
  }
  // A file written again keeps the mode it was given; a new one is the owner's alone.
  std::error_code failed;
  if (const auto existing = std::filesystem::status(path, failed); std::filesystem::is_regular_file(existing))
    std::filesystem::permissions(temporary, existing.permissions(), std::filesystem::perm_options::replace, failed);
  std::filesystem::rename(temporary, path, failed);
  if (failed) {
    std::remove(temporary.c_str());
    return failed.message();
  }
  SyncFolderOf(path);
  return {};
}

void RemoveLeftoverTemporary(const std::string& path) {
  // The name itself goes, whatever it is, a dangling link included; a
  // link is removed, never what it points to.
  const std::string temporary = TemporaryOf(path);
  std::error_code ignored;
  const auto status = std::filesystem::symlink_status(temporary, ignored);
  if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
    std::filesystem::remove(temporary, ignored);
}

std::vector<std::string> SplitLines(const std::string& bytes, bool* cut, size_t maxLines, size_t maxLineBytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  if (cut) *cut = false;
  while (start < bytes.size()) {
    if (lines.size() == maxLines) {
      if (cut) *cut = true;
      break;
    }
    auto end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, std::min(end - start, maxLineBytes + 1));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > maxLineBytes) line.resize(maxLineBytes);
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace qz::app
