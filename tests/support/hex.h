#pragma once
// Byte strings written as hex pairs ("30 00"), for tables of wire bytes.
#include <cstdint>
#include <string>

namespace qz::test {

inline std::string Hex(const std::string& text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == ' ') continue;
    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    ++i;
  }
  return out;
}

inline std::string ToHex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[(static_cast<uint8_t>(c) >> 4) & 0xF];
    out += digits[static_cast<uint8_t>(c) & 0xF];
  }
  return out;
}

}  // namespace qz::test
