#pragma once
// Shared by the engine's unit tests: manifests made to order and a
// temporary folder that removes itself.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/hex.h"
#include "core/manifest.h"
#include "core/manifest_keys_read.h"
#include "core/manifest_parse.h"
#include "core/signed_text_scan.h"
#include "core/utc_time.h"

namespace velmora::engine::testing {

// A digest whose bytes all equal `fill`: distinct contents for tests that
// never hash anything.
inline Sha256Digest DigestOf(std::uint8_t fill) {
    Sha256Digest digest;
    digest.fill(fill);
    return digest;
}

// A file line and its chunk lines, which ManifestWith lists in a manifest.
struct ListedFile {
    ManifestFile file;
    std::vector<ManifestChunk> chunks;
};

// A file of `size` bytes named by `content`, cut into chunks of
// kMaxChunkSize (the last one shorter) that take `storedSize` bytes
// altogether: stored as they are when that is `size`, else compressed,
// each chunk its share (at least 1 byte). A file of one chunk has the
// chunk's digest; further chunks have digests of their own, the same for
// the same content. ManifestWith gives the chunks their places.
inline ListedFile FileEntry(std::string path, std::uint8_t content, std::uint64_t size,
                            std::uint64_t storedSize) {
    ListedFile file{{DigestOf(content), size, std::move(path)}, {}};
    std::uint64_t cut = 0, storedSoFar = 0;
    for (std::uint64_t index = 0; cut < size; ++index) {
        const auto length = static_cast<std::uint32_t>(std::min<std::uint64_t>(size - cut, kMaxChunkSize));
        Sha256Digest sha = file.file.sha256;
        if (length < size)
            for (int b = 0; b < 8; ++b) sha[31 - b] = static_cast<std::uint8_t>((index + 1) >> (8 * b));
        cut += length;
        const std::uint64_t storedEnd = storedSize * cut / size;
        const auto stored = static_cast<std::uint32_t>(std::max<std::uint64_t>(storedEnd - storedSoFar, 1));
        storedSoFar = storedEnd;
        file.chunks.push_back({0, 0, sha, length, stored});
    }
    return file;
}

// The files' chunks placed one after another in one pack, each distinct
// chunk once.
inline std::vector<ManifestPack> PackFor(std::vector<ListedFile>& files) {
    std::uint64_t end = 0;
    std::map<Sha256Digest, std::uint64_t> placed;
    for (ListedFile& file : files)
        for (ManifestChunk& chunk : file.chunks) {
            const auto [offset, fresh] = placed.try_emplace(chunk.sha256, end);
            if (fresh) end += chunk.storedSize;
            chunk.SetPlace(chunk.Pack(), offset->second);
        }
    if (end == 0) return {};
    return {{DigestOf(0xfe), end}};
}

// The text read as the engine reads a file: its size checked, then in
// pieces of `piece` bytes, first by SignedTextScan (whose signed bytes must
// be the text's), then the signed part by ManifestBodyReader.
inline Result<SignedManifest> ReadInPieces(std::string_view bytes, std::size_t piece) {
    if (bytes.size() > kMaxManifestBytes) return InvalidFormat("manifest larger than the limit");
    std::string signedBytes;
    SignedTextScan scan([&](std::string_view part) { signedBytes += part; });
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        if (auto fed = scan.Feed(bytes.substr(at, piece)); !fed) return fed.Error();
    auto shape = scan.Finish();
    if (!shape) return shape.Error();
    const auto signedLength = static_cast<std::size_t>(shape.Value().signedLength);
    EXPECT_EQ(signedBytes, bytes.substr(0, signedLength));
    ManifestBodyReader reader(shape.Value().fileLines, shape.Value().chunkLines);
    for (std::size_t at = 0; at < signedLength; at += piece)
        if (auto fed = reader.Feed(bytes.substr(at, std::min(piece, signedLength - at))); !fed) return fed.Error();
    auto manifest = reader.Finish();
    if (!manifest) return manifest.Error();
    return SignedManifest{std::move(manifest).Value(), signedLength, shape.Value().signature};
}

// The text's signed part read keys-only (ReadManifestKeysOnly) in pieces of
// `piece` bytes; `reads` counts the times it is read.
inline Result<Manifest> ReadKeysInPieces(std::string_view bytes, std::size_t piece, int& reads,
                                         ChunkLinesKept kept = ChunkLinesKept::KeysOnly) {
    const auto split = SplitSignatureLine(bytes);
    if (!split) return split.Error();
    const std::string_view part = split.Value().signedPart;
    const SignedPartReading read = [&](const std::function<Result<void>(std::string_view)>& take) -> Result<void> {
        ++reads;
        for (std::size_t at = 0; at < part.size(); at += piece)
            if (auto taken = take(part.substr(at, piece)); !taken) return taken;
        return {};
    };
    return ReadManifestKeysOnly(read, 0, 0, kept);
}

// For tests of what the parser reads, whatever the signature: the text goes
// through ParseSignedManifest whole, through ReadInPieces in pieces that
// cut its lines (small ones for a small text) and keys-only through
// ReadKeysInPieces, which must agree on the manifest (the keys-only one
// with the keys of the whole one's chunks) or on the refusal; its first
// lines alone (ParseManifestHead) must give the whole one's fields, or its
// refusal when that lies in them.
inline void ExpectHeadAgrees(std::string_view bytes, const Result<SignedManifest>& whole) {
    const auto split = SplitSignatureLine(bytes);
    if (!split) return;
    const auto head = ParseManifestHead(split.Value().signedPart);
    if (whole) {
        ASSERT_TRUE(head) << head.Error().reason;
        const Manifest& all = whole.Value().manifest;
        EXPECT_EQ(Manifest({all.version, all.expires, all.minUpdater, {}, {}, {}, {}, all.format}), head.Value());
    } else if (!head) {
        EXPECT_EQ(whole.Error().reason, head.Error().reason);
    }
}

// Read with its places, a manifest keeps of each chunk line what the whole
// reading has of it but the digest, and where the line begins: a chunk
// line there, with that digest. Or, read whole where the keys cannot tell,
// the whole reading's manifest; or its refusal.
inline void ExpectPlacesAgree(std::string_view bytes, std::size_t piece, const Result<SignedManifest>& whole) {
    int reads = 0;
    const auto placed = ReadKeysInPieces(bytes, piece, reads, ChunkLinesKept::KeysAndPlaces);
    ASSERT_EQ(whole.Ok(), placed.Ok()) << (whole ? placed.Error().reason : whole.Error().reason);
    if (!whole) {
        EXPECT_EQ(whole.Error().reason, placed.Error().reason);
        return;
    }
    const Manifest& all = whole.Value().manifest;
    const Manifest& lean = placed.Value();
    if (lean.HoldsChunks()) {
        EXPECT_EQ(lean, all);
        return;
    }
    ASSERT_EQ(lean.chunkKeys.size(), all.chunks.size());
    ASSERT_EQ(lean.chunkPlaces.size(), all.chunks.size());
    ASSERT_EQ(lean.chunkStoredSizes.size(), all.chunks.size());
    ASSERT_EQ(lean.chunkLineStarts.size(), all.chunks.size());
    for (std::size_t i = 0; i < all.chunks.size(); ++i) {
        const ManifestChunk& chunk = all.chunks[i];
        EXPECT_EQ(lean.chunkKeys[i], KeyOf(chunk)) << i;
        EXPECT_EQ(lean.chunkPlaces[i], StoredPlace(chunk.Pack(), chunk.Offset())) << i;
        EXPECT_EQ(lean.chunkStoredSizes[i], chunk.storedSize) << i;
        const std::string_view line = bytes.substr(lean.chunkLineStarts[i], bytes.find('\n', lean.chunkLineStarts[i]) - lean.chunkLineStarts[i]);
        EXPECT_TRUE(line.starts_with("chunk ")) << i << ": " << line;
        EXPECT_NE(line.find(" " + ToHex(chunk.sha256) + " "), std::string_view::npos) << i << ": " << line;
    }
}

inline Result<SignedManifest> ParseAnySigned(std::string_view bytes) {
    auto whole = ParseSignedManifest(bytes, [](std::string_view, const ManifestSignature&) { return Result<void>(); });
    const std::size_t piece = bytes.size() < (1u << 20) ? 7 : 65521;
    const auto pieces = ReadInPieces(bytes, piece);
    int reads = 0;
    const auto keys = ReadKeysInPieces(bytes, piece, reads);
    EXPECT_EQ(whole.Ok(), pieces.Ok()) << (whole ? pieces.Error().reason : whole.Error().reason);
    EXPECT_EQ(whole.Ok(), keys.Ok()) << (whole ? keys.Error().reason : whole.Error().reason);
    if (whole && pieces) {
        EXPECT_EQ(whole.Value().manifest, pieces.Value().manifest);
        EXPECT_EQ(whole.Value().signedLength, pieces.Value().signedLength);
        EXPECT_EQ(whole.Value().signature, pieces.Value().signature);
    } else if (!whole && !pieces) {
        EXPECT_EQ(whole.Error().reason, pieces.Error().reason);
    }
    if (whole && keys) {
        Manifest keysOfWhole = whole.Value().manifest;
        keysOfWhole.KeepOnlyChunkKeys();
        EXPECT_EQ(keys.Value(), keysOfWhole);
        EXPECT_EQ(keys.Value().chunkKeys.size(), whole.Value().manifest.chunks.size());
    } else if (!whole && !keys) {
        EXPECT_EQ(whole.Error().reason, keys.Error().reason);
    }
    ExpectHeadAgrees(bytes, whole);
    ExpectPlacesAgree(bytes, piece, whole);
    return whole;
}

// The manifest as a lean reading holds it (ChunkLinesKept::KeysAndPlaces):
// each chunk line's key, stored place and stored size, no digest; its
// line starts, of no text, all 0.
inline Manifest LeanCopy(Manifest manifest) {
    for (const ManifestChunk& chunk : manifest.chunks) {
        manifest.chunkPlaces.push_back(StoredPlace(chunk.Pack(), chunk.Offset()));
        manifest.chunkStoredSizes.push_back(chunk.storedSize);
    }
    manifest.chunkLineStarts.assign(manifest.chunks.size(), 0);
    manifest.KeepOnlyChunkKeys();
    return manifest;
}

// Files made with FileEntry, their chunks placed by PackFor.
inline Manifest ManifestWith(std::uint64_t version, std::vector<ListedFile> files) {
    Manifest manifest{version, *ParseUtcTime("2030-01-01T00:00:00Z"), 1, PackFor(files), {}, {}, {}};
    for (ListedFile& file : files) manifest.AddFile(std::move(file.file), file.chunks);
    return manifest;
}

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-engine-test.XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes `content` to `relative`, creating its folders.
    std::filesystem::path Write(const std::string& relative, std::string_view content) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc).write(content.data(),
                                                                     static_cast<std::streamsize>(content.size()));
        return file;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary);
    std::ostringstream content;
    content << input.rdbuf();
    return std::move(content).str();
}

}  // namespace velmora::engine::testing
