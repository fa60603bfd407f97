#pragma once
// Text at the engine's edges: the start call's 8-bit strings (system code
// page), the manifest's UTF-8 paths, the file system's UTF-16, and the
// English reasons kept for whoever debugs a failure.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::engine {

// UTF-16 from UTF-8; nothing when the bytes are not valid UTF-8.
std::optional<std::wstring> WideFromUtf8(std::string_view text);
// UTF-16 from the system code page (the start call's strings).
std::optional<std::wstring> WideFromAnsi(const char* text);
// UTF-8 for reasons; unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view text);

// "0xC000A002".
std::string HexCode(std::uint32_t code);
// "error 5: Access denied." for the calling thread's last error.
std::string LastErrorText();
std::string ErrorText(DWORD error);

}  // namespace velmora::engine
