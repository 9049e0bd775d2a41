#pragma once
// Whole-file reads and writes of the program's small text files, and their
// line splitting.
#include <cstddef>
#include <string>
#include <vector>

namespace qz::app {

// No file of the program is larger than this; what lies beyond is not read.
inline constexpr size_t kMaxFileBytes = 64u << 20;
// Nor is any of their lines longer than this: a longer one is cut here.
inline constexpr size_t kMaxLineBytes = 4096;

bool FileExists(const std::string& path);

struct TFileRead {
  std::string Bytes;
  std::string Error;  // the system's reason when the file could not be read
};
// At most maxBytes of the file.
TFileRead ReadFile(const std::string& path, size_t maxBytes = kMaxFileBytes);
// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Writes the bytes to "<path>.new", syncs them to the disk, renames that
// over the target and syncs the folder, so that a failed write or a power
// cut leaves either the old file or the new one, whole. Gives the system's
// reason when it failed (the old file is then kept), else an empty text.
std::string WriteWholeFile(const std::string& path, const std::string& bytes);
// Removes the "<path>.new" a write cut short has left behind.
void RemoveLeftoverTemporary(const std::string& path);

// Lines ended by CR LF or LF; a last line without an end counts too. Each
// line is cut to kMaxLineBytes.
std::vector<std::string> SplitLines(const std::string& bytes);

}  // namespace qz::app
