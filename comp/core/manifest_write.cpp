#include "core/manifest_write.h"

#include "core/hex.h"
#include "core/utc_time.h"

namespace velmora::engine {

std::string ManifestBody(const Manifest& manifest) {
    std::string text;
    text.reserve(128 + manifest.files.size() * 200 + manifest.packs.size() * 80);
    text += "VELMANIFEST " + std::to_string(manifest.format) + "\n";
    text += "version " + std::to_string(manifest.version) + "\n";
    text += "expires " + FormatUtcTime(manifest.expires) + "\n";
    text += "min-updater " + std::to_string(manifest.minUpdater) + "\n";
    for (const std::string& mirror : manifest.mirrors) text += "mirror " + mirror + "\n";
    for (const ManifestPack& pack : manifest.packs) {
        text += "pack ";
        text += ToHex(pack.name);
        text += ' ';
        text += std::to_string(pack.size);
        text += '\n';
    }
    for (const ManifestFile& file : manifest.files) {
        text += file.playerFile ? "player-file " : "file ";
        text += ToHex(file.sha256);
        text += ' ';
        text += std::to_string(file.size);
        text += ' ';
        text += file.path;
        text += '\n';
        for (const ManifestChunk& chunk : manifest.ChunksOf(file)) {
            text += "chunk ";
            text += std::to_string(chunk.Pack());
            text += ' ';
            text += std::to_string(chunk.Offset());
            text += ' ';
            text += ToHex(chunk.sha256);
            text += ' ';
            text += std::to_string(chunk.size);
            text += ' ';
            text += std::to_string(chunk.storedSize);
            text += '\n';
        }
    }
    return text;
}

std::string WithSignature(std::string_view body, const ManifestSignature& signature) {
    std::string text(body);
    text += "signature ";
    text += ToHex(signature);
    text += '\n';
    return text;
}

}  // namespace velmora::engine
