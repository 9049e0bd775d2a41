#pragma once
// Small text and number helpers every module uses: trimming, dotted fields,
// 32-bit decimal numbers and the conversion error, IPv4 address texts.
// Plain C++, below everything else.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

// The text with the characters of blanks removed at both ends.
std::string Trimmed(const std::string& text, std::string_view blanks = " ");

// The parts of a list between separators, each without blanks and tabs at
// its ends; empty parts are left out ("a, ,b" with ',' gives "a", "b").
std::vector<std::string> ListItems(const std::string& text, char separator);

// The text up to the next "." (all of it when there is none); that text and
// its dot leave text.
std::string TakeDotField(std::string& text);

// Signed 32-bit decimal with an optional sign; false for anything else.
bool ParseInt32(const std::string& text, int32_t& value);
// ParseInt32, giving fallback when the text does not parse.
int32_t ParseInt32Or(const std::string& text, int32_t fallback);

// An error with a message text, as the window's handlers raise it.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// At most the first 80 octets of a text that a message quotes, and an
// ellipsis where it was cut.
std::string ShortenedForMessage(const std::string& text);

// "'%s' is not a valid integer value" unless text is a decimal 32-bit integer.
int StrToInt(const std::string& text);

// Four dot-separated fields of one to three digits, each 0 to 255; with
// blanksAroundFields, blanks at a field's ends are allowed ("10 . 0 .0. 1").
bool IsIPv4Text(const std::string& text, bool blanksAroundFields = false);

// "1 write", "3 writes": a count with its English noun (plural by "s").
std::string Counted(uint64_t count, const std::string& noun);

}  // namespace qz
