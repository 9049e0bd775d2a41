#pragma once
// Device and file text is bytes: names, locations and communities travel
// from the wire to the files and back unchanged. This is the one rule by
// which the window turns them into characters and what the operator types
// back into bytes: UTF-8 when the bytes are valid UTF-8, else the 8-bit code
// page the operator chose (devices in the field hold Latin-1 or cp1251).
#include <optional>
#include <string>
#include <string_view>

namespace qz::app {

enum class TCodePage { Latin1, Windows1251 };

bool IsValidUtf8(std::string_view bytes);

// The characters of device bytes, as UTF-8.
std::string DecodeDeviceText(std::string_view bytes, TCodePage codePage);

// Bytes for typed text (UTF-8): the code page when it has every character,
// else UTF-8; either way DecodeDeviceText gives the same text back.
std::string EncodeTypedText(std::string_view utf8, TCodePage codePage);

// "Latin-1" and "Windows-1251", as the settings name them.
const char* CodePageName(TCodePage codePage);
std::optional<TCodePage> CodePageNamed(std::string_view name);

}  // namespace qz::app
