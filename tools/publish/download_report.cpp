#include "download_report.h"

#include <unordered_set>

#include "amount_text.h"
#include "core/digest_hash.h"

namespace velmora::publish {

Download DownloadFrom(const engine::Manifest* installed, const engine::Manifest& next) {
    std::unordered_set<engine::Sha256Digest, engine::DigestHash> held;
    if (installed)
        for (const engine::ManifestFile& file : installed->files)
            for (const engine::ManifestChunk& chunk : installed->ChunksOf(file)) held.insert(chunk.sha256);
    Download download;
    for (const engine::ManifestFile& file : next.files)
        for (const engine::ManifestChunk& chunk : next.ChunksOf(file))
            if (held.insert(chunk.sha256).second) {
                download.storedBytes += chunk.storedSize;
                ++download.chunks;
            }
    return download;
}

namespace {

std::string DownloadLine(const std::string& from, const Download& download) {
    return from + ": " + SizeText(download.storedBytes) + " in " + Counted(download.chunks, "chunk") + " (" +
           Counted(download.storedBytes, "byte") + ")\n";
}

}  // namespace

std::string FormatDownloads(const engine::Manifest& next, std::span<const engine::Manifest* const> earlier) {
    std::string text;
    for (const engine::Manifest* release : earlier)
        text += DownloadLine("from version " + std::to_string(release->version), DownloadFrom(release, next));
    return text + DownloadLine("fresh install", DownloadFrom(nullptr, next));
}

}  // namespace velmora::publish
