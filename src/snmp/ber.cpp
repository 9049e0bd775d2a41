#include "ber.h"

#include "text.h"

#include <algorithm>
#include <charconv>

namespace qz::snmp {
namespace {

// An octet past the end of the data reads as 0 (X.690 decoders here never
// look outside their buffer).
uint8_t OctetAt(const ByteString& data, int64_t pos) {
  if (pos < 1 || pos > static_cast<int64_t>(data.size())) return 0;
  return static_cast<uint8_t>(data[static_cast<size_t>(pos - 1)]);
}

ByteString BigEndianWithoutLeadingZeros(uint32_t value) {
  ByteString out;
  do {
    out.insert(out.begin(), static_cast<char>(value & 0xFF));
    value >>= 8;
  } while (value != 0);
  return out;
}

}  // namespace

ByteString BerEncodeSubId(uint32_t value) {
  ByteString out(1, static_cast<char>(value & 0x7F));
  value >>= 7;
  while (value != 0) {
    out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    value >>= 7;
  }
  return out;
}

int32_t BerDecodeSubId(int32_t& pos, const ByteString& data) {
  uint32_t value = 0;
  uint8_t octet = 0;
  do {
    octet = OctetAt(data, pos);
    ++pos;
    value = (value << 7) + (octet & 0x7F);
  } while (octet & 0x80);
  return static_cast<int32_t>(value);
}

ByteString BerEncodeLength(int32_t length) {
  if (length < 128) return ByteString(1, static_cast<char>(length < 0 ? 0 : length));
  const ByteString octets = BigEndianWithoutLeadingZeros(static_cast<uint32_t>(length));
  return static_cast<char>(0x80 + octets.size()) + octets;
}

int32_t BerDecodeLength(int32_t& pos, const ByteString& data) {
  const uint8_t first = OctetAt(data, pos);
  ++pos;
  if (first < 0x80) return first;
  const int count = first & 0x7F;
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    value = (value << 8) | OctetAt(data, pos);
    ++pos;
  }
  return static_cast<int32_t>(value);
}

ByteString BerEncodeInteger(int32_t value) {
  if (value < 0) {
    // Negative numbers always go out as four octets; agents and stored
    // captures of this system expect that form.
    const auto bits = static_cast<uint32_t>(value);
    return {static_cast<char>(bits >> 24), static_cast<char>(bits >> 16),
            static_cast<char>(bits >> 8), static_cast<char>(bits)};
  }
  ByteString out = BigEndianWithoutLeadingZeros(static_cast<uint32_t>(value));
  if (static_cast<uint8_t>(out[0]) >= 0x80) out.insert(out.begin(), '\0');
  return out;
}

ByteString BerEncodeUnsigned(uint32_t value) { return BigEndianWithoutLeadingZeros(value); }

ByteString BerObject(const ByteString& content, int32_t tag) {
  return static_cast<char>(tag & 0xFF) + BerEncodeLength(static_cast<int32_t>(content.size())) +
         content;
}

ByteString BerReadItem(int32_t& pos, const ByteString& data, int32_t& tag) {
  tag = berNull;
  const auto size = static_cast<int64_t>(data.size());
  if (pos < 1 || static_cast<int64_t>(pos) + 1 > size) return {};
  tag = OctetAt(data, pos);
  ++pos;
  const int32_t length = BerDecodeLength(pos, data);
  if (length < 0 || static_cast<int64_t>(pos) + length - 1 > size) return {};
  ByteString content = data.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(length));
  // A constructed item leaves the position on its first content octet, so
  // that the next read walks into it.
  if (tag & berConstructed) return content;
  pos += length;
  switch (tag) {
    case berBoolean:
    case berInteger:
    case berEnumerated: {
      if (content.empty()) return "0";
      const bool negative = static_cast<uint8_t>(content[0]) > 0x7F;
      uint32_t value = 0;
      for (char c : content) {
        auto octet = static_cast<uint8_t>(c);
        if (negative) octet ^= 0xFF;
        value = (value << 8) + octet;
      }
      // -(value + 1) in 32 bits is the complement of value.
      return std::to_string(negative ? static_cast<int32_t>(~value) : static_cast<int32_t>(value));
    }
    case berNull:
      return {};
    case berObjectId:
      return BerToOid(content);
    case berIpAddress: {
      std::string text;
      for (size_t i = 0; i < content.size(); ++i) {
        if (i) text += '.';
        text += std::to_string(static_cast<uint8_t>(content[i]));
      }
      return text;
    }
    case berCounter32:
    case berGauge32:
    case berTimeTicks: {
      uint32_t value = 0;
      for (char c : content) value = (value << 8) + static_cast<uint8_t>(c);
      return std::to_string(value);
    }
    default:
      return content;
  }
}

int32_t TakeArc(std::string& text) { return ParseInt32Or(TakeDotField(text), 0); }

ByteString OidToBer(const std::string& oid) {
  std::string rest = oid;
  const auto first = static_cast<uint32_t>(TakeArc(rest));
  const auto second = static_cast<uint32_t>(TakeArc(rest));
  ByteString out = BerEncodeSubId(first * 40 + second);
  while (!rest.empty()) out += BerEncodeSubId(static_cast<uint32_t>(TakeArc(rest)));
  return out;
}

std::string BerToOid(const ByteString& content) {
  std::string text;
  int32_t pos = 1;
  const auto size = static_cast<int32_t>(content.size());
  while (pos <= size) {
    const int32_t start = pos;
    auto value = static_cast<uint32_t>(BerDecodeSubId(pos, content));
    if (start == 1) {
      // The first sub-identifier holds the first two arcs (X.690 8.19.4).
      const uint32_t firstArc = std::min<uint32_t>(value / 40, 2);
      text = std::to_string(firstArc);
      value -= firstArc * 40;
    }
    text += '.';
    text += std::to_string(value);
  }
  return text;
}

ByteString IpTextToOctets(const std::string& text) {
  ByteString out;
  std::string rest = text;
  for (int i = 0; i < 4; ++i) out += static_cast<char>(ParseInt32Or(Trimmed(TakeDotField(rest)), 0) & 0xFF);
  return out;
}

}  // namespace qz::snmp
