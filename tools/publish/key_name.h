#pragma once
// The short name of a key, taken from its file's name so that the studio
// names a key once, when it makes it: studio-2026-private.pem and
// studio-2026-public.h are the key studio-2026. The engine's build names
// the keys it trusts the same way (cmake/trusted-keys.cmake).
#include <filesystem>
#include <string>

namespace velmora::publish {

// The file name without its extension and without a trailing "-private"
// or "-public" (kept when nothing would be left before it).
std::string KeyName(const std::filesystem::path& keyFile);

}  // namespace velmora::publish
