#include "device_text.h"

#include <array>
#include <cstdint>

namespace qz::app {
namespace {

// Unicode of the Windows-1251 octets 0x80 to 0xFF (0 for the one unassigned).
constexpr std::array<char16_t, 128> kWindows1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C,
    0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9,
    0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415,
    0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431,
    0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D,
    0x044E, 0x044F};

// The code point of one octet; the unassigned cp1251 octet 0x98 shows as U+FFFD.
char32_t CodePointOf(uint8_t octet, TCodePage codePage) {
  if (octet < 0x80 || codePage == TCodePage::Latin1) return octet;
  const char16_t mapped = kWindows1251High[octet - 0x80];
  return mapped ? mapped : 0xFFFD;
}

std::optional<uint8_t> OctetOf(char32_t codePoint, TCodePage codePage) {
  if (codePoint < 0x80) return static_cast<uint8_t>(codePoint);
  if (codePage == TCodePage::Latin1) {
    if (codePoint <= 0xFF) return static_cast<uint8_t>(codePoint);
    return std::nullopt;
  }
  for (size_t i = 0; i < kWindows1251High.size(); ++i)
    if (kWindows1251High[i] != 0 && kWindows1251High[i] == codePoint) return static_cast<uint8_t>(0x80 + i);
  return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The next code point of valid UTF-8 at at, moving at past it; nullopt (at
// unmoved) where the bytes are not valid UTF-8 (RFC 3629: shortest form, no
// surrogates, nothing above U+10FFFF).
std::optional<char32_t> NextUtf8(std::string_view bytes, size_t& at) {
  const auto lead = static_cast<uint8_t>(bytes[at]);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  size_t length = 0;
  char32_t value = 0;
  char32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (bytes.size() - at < length) return std::nullopt;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<uint8_t>(bytes[at + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
  at += length;
  return value;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();)
    if (!NextUtf8(bytes, at)) return false;
  return true;
}

std::string DecodeDeviceText(std::string_view bytes, TCodePage codePage) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char octet : bytes) AppendUtf8(text, CodePointOf(static_cast<uint8_t>(octet), codePage));
  return text;
}

std::string EncodeTypedText(std::string_view utf8, TCodePage codePage) {
  std::string bytes;
  bytes.reserve(utf8.size());
  bool pureAscii = true;
  for (size_t at = 0; at < utf8.size();) {
    const std::optional<char32_t> c = NextUtf8(utf8, at);
    if (!c) return std::string(utf8);  // not text from the window: kept as it is
    const std::optional<uint8_t> octet = OctetOf(*c, codePage);
    if (!octet) return std::string(utf8);
    pureAscii = pureAscii && *c < 0x80;
    bytes += static_cast<char>(*octet);
  }
  // Code page bytes that happen to be valid UTF-8 would read back as other
  // characters: such a text goes out as UTF-8.
  if (!pureAscii && IsValidUtf8(bytes)) return std::string(utf8);
  return bytes;
}

const char* CodePageName(TCodePage codePage) {
  return codePage == TCodePage::Windows1251 ? "Windows-1251" : "Latin-1";
}

std::optional<TCodePage> CodePageNamed(std::string_view name) {
  if (name == "Latin-1") return TCodePage::Latin1;
  if (name == "Windows-1251") return TCodePage::Windows1251;
  return std::nullopt;
}

}  // namespace qz::app
