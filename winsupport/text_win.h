#pragma once
// Conversions between the system's UTF-16 texts and the 8-bit texts at its
// edges: the system code page (library names, the engine's start call) and
// UTF-8 (manifest paths, logs, reasons kept for debugging).
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

std::string ToSystemCodePage(std::wstring_view text);
// Nothing when the system cannot read the bytes.
std::optional<std::wstring> FromSystemCodePage(std::string_view text);

// Unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view text);
// Nothing when the bytes are not valid UTF-8.
std::optional<std::wstring> FromUtf8(std::string_view text);

}  // namespace velmora
