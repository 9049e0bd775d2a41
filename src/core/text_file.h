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
// Nor do they hold more lines than this (a thousand devices' list is far
// below it); the rest is not read.
inline constexpr size_t kMaxLines = 65536;

// A regular file stands at the name (through links).
bool FileExists(const std::string& path);
// Anything stands at the name: a file, a folder, a FIFO, a link, dangling too.
bool FileExistsAtAll(const std::string& path);

struct TFileRead {
  std::string Bytes;
  std::string Error;  // the system's reason when the file could not be read
};
// At most maxBytes of the file. Only a regular file is read: anything else
// at the name (a FIFO, a folder, a device) is an error that says what it is
// ("Is a FIFO, not a file"), found without waiting.
TFileRead ReadFile(const std::string& path, size_t maxBytes = kMaxFileBytes);
// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Writes the bytes to "<path>.new", made new (never through a link that
// stands at the name), syncs them to the disk, renames that over the target
// (replacing a link there, not what it points to) and syncs the folder, so
// that a failed write or a power cut leaves either the old file or the new
// one, whole. Gives the system's reason when it failed (the old file is then
// kept), else an empty text.
std::string WriteWholeFile(const std::string& path, const std::string& bytes);
// Removes the "<path>.new" a write cut short has left behind, whatever it
// is (a dangling link too), but a folder.
void RemoveLeftoverTemporary(const std::string& path);

// Lines ended by CR LF or LF; a last line without an end counts too. Each
// line is cut to maxLineBytes, and no more than maxLines are taken (cut,
// when given, says whether some were left).
std::vector<std::string> SplitLines(const std::string& bytes, bool* cut = nullptr, size_t maxLines = kMaxLines,
                                    size_t maxLineBytes = kMaxLineBytes);

}  // namespace qz::app
