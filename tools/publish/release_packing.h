#pragma once
// Cuts the files of a release into chunks and gives each a place: one the
// release has given it already, one an earlier release stored it in, or a
// new one at the end of the new packs.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <vector>

#include "chunk_codec.h"
#include "core/manifest.h"
#include "known_chunks.h"
#include "pack_reader.h"
#include "release_folder.h"

namespace velmora::publish {

// The chunks an earlier publication stored and where to read them, so
// that each is checked against the release's bytes before it is reused.
struct EarlierChunks {
    const KnownChunks& known;
    PackReader& packs;
};

struct PackingCounts {
    std::size_t newChunks = 0;
    std::uint64_t newBytes = 0;  // stored, in the new packs
    std::size_t newPacks = 0;
    std::size_t reusedChunks = 0;  // distinct chunks an earlier release stored
};

struct PackedRelease {
    std::vector<engine::ManifestPack> packs;
    std::vector<engine::ManifestFile> files;  // in the order of the release's files
    std::vector<engine::ManifestChunk> chunks;  // theirs, file after file
    PackingCounts counts;
};

struct PackingSettings {
    // Threads that hash and compress chunks while the calling thread reads,
    // cuts and writes; 0 or 1 does it all on the calling thread. The result
    // is the same, byte for byte, for any count.
    unsigned workers = 1;
    int compressionLevel = kDefaultCompressionLevel;  // chunk_codec.h
    // A terminal to show the progress on, line by line in place; none
    // where nothing watches (a script, a test).
    std::ostream* progressTerminal = nullptr;
};

// Writes the new packs into `serverFolder`'s packs folder (which must
// exist). Packs are numbered in the order the files first use them
// (KeepEarlierPackNumbers, pack_numbers.h, may number them again). Throws
// PublishError, also when an earlier pack does not hold a chunk where its
// manifest says.
PackedRelease PackRelease(const std::vector<ReleaseFile>& files, const std::filesystem::path& serverFolder,
                          const EarlierChunks* earlier, const PackingSettings& settings);

}  // namespace velmora::publish
