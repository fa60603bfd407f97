#pragma once
// How the benchmark reads a manifest: as the engine does once the signature
// checked out (here every signature passes).
#include "core/manifest_parse.h"

namespace velmora::engine {

inline Result<Manifest> ReadManifestForBenchmark(std::string_view text) {
    auto parsed = ParseSignedManifest(text, [](std::string_view, const ManifestSignature&) { return Result<void>(); });
    if (!parsed) return parsed.Error();
    return std::move(parsed).Value().manifest;
}

}  // namespace velmora::engine
