#pragma once
// Whole-file reads and writes of the program's small text files, and their
// line splitting. Failures are silent: a file that cannot be read is empty, a
// file that cannot be written is left as it was.
#include <string>
#include <vector>

namespace qz::app {

bool FileExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// Writes to a temporary file beside the target and renames it over the
// target, so a failed write never leaves a half-written file.
void WriteWholeFile(const std::string& path, const std::string& bytes);
// Lines ended by CR LF or LF; a last line without an end counts too.
std::vector<std::string> SplitLines(const std::string& bytes);

}  // namespace qz::app
