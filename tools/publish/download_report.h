#pragma once
// What a release costs the players: the stored bytes each of them downloads
// to reach it, from each earlier release and from nothing.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/manifest.h"

namespace velmora::publish {

struct Download {
    std::uint64_t storedBytes = 0;
    std::size_t chunks = 0;
};

// The distinct chunks (by SHA-256) of `next` that no file of `installed`
// holds, with their stored sizes; every chunk of `next` when `installed`
// is null (a fresh install).
Download DownloadFrom(const engine::Manifest* installed, const engine::Manifest& next);

// One line per earlier release, in the order given, then one for a fresh
// install: "from version 41: 3.2 MiB in 27 chunks (3355443 bytes)",
// "fresh install: ...".
std::string FormatDownloads(const engine::Manifest& next, std::span<const engine::Manifest* const> earlier);

}  // namespace velmora::publish
