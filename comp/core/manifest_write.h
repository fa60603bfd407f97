#pragma once
// Writing `gamedata.vel`: the publishing tool builds the body, signs it, and
// appends the signature line. Parsing what this writes gives the same
// manifest back, and the body is byte for byte the signed part.
#include <string>
#include <string_view>

#include "core/manifest.h"

namespace velmora::engine {

// Every line before the signature line: the format line, the key lines and
// one line per file in the order of `manifest.files`. The manifest should
// pass CheckManifestFiles and have an expiry in years 1970 to 9999.
std::string ManifestBody(const Manifest& manifest);

// The whole file: the body followed by the signature line.
std::string WithSignature(std::string_view body, const ManifestSignature& signature);

}  // namespace velmora::engine
