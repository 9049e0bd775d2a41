#pragma once
// Basic Encoding Rules cut down to what SNMPv1 needs: one-octet tags,
// definite lengths, numbers of at most 32 bits, object identifiers as dotted
// text. Byte strings are std::string (any octet, NULs included). Positions are
// 1-based, as the decoders pass them in and out. Nothing here throws: bad input
// gives empty texts, zero numbers and positions that stop moving.
#include <cstdint>
#include <string>

namespace qz::snmp {

using ByteString = std::string;

enum BerTag : int32_t {
  berBoolean = 0x01,
  berInteger = 0x02,
  berOctetString = 0x04,
  berNull = 0x05,
  berObjectId = 0x06,
  berEnumerated = 0x0A,
  berSequence = 0x30,
  berIpAddress = 0x40,
  berCounter32 = 0x41,
  berGauge32 = 0x42,
  berTimeTicks = 0x43,
  berOpaque = 0x44,
  berConstructed = 0x20,
};

ByteString BerEncodeSubId(uint32_t value);
int32_t BerDecodeSubId(int32_t& pos, const ByteString& data);
ByteString BerEncodeLength(int32_t length);
int32_t BerDecodeLength(int32_t& pos, const ByteString& data);
ByteString BerEncodeInteger(int32_t value);
ByteString BerEncodeUnsigned(uint32_t value);
ByteString BerObject(const ByteString& content, int32_t tag);
ByteString BerReadItem(int32_t& pos, const ByteString& data, int32_t& tag);
ByteString OidToBer(const std::string& oid);
std::string BerToOid(const ByteString& content);
int32_t TakeArc(std::string& text);
ByteString IpTextToOctets(const std::string& text);

}  // namespace qz::snmp
