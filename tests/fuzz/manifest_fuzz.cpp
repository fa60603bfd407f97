// libFuzzer target for the manifest parser: the signature line is the only
// part read before the signature is checked, the rest is read by code that
// a leaked or misused key would expose. Besides crashes and
// sanitizer reports it checks what a successful parse promises:
// - writing the manifest back gives exactly the signed part of the input,
//   and the signature line rebuilt from the signature gives the rest;
// - a plan of the manifest against itself on a matching disk has nothing
//   to do, and a fresh plan fetches each distinct object once;
// - files of one SHA-256 list the same chunks, and the ranges of a pack
//   never overlap, so a whole pack serves them front to back.
// - read keys-only (as the local manifest is), it is accepted or refused
//   alike, for the same reason, with the keys of the chunk lines; read lean
//   (as a release is), its lines' places, sizes and digests are the whole
//   reading's, and a fresh plan fetches each stored chunk once.
// A signed text that is a head goes to the head's parser instead, and
// writing a head it reads gives exactly the signed part.
// Every refusal is InvalidFormat with a reason.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

#include "core/manifest_head.h"
#include "core/manifest_keys_read.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "core/case_fold.h"
#include "core/path_rules.h"
#include "core/chunk_plan.h"
#include "core/update_plan.h"
#include "fuzz_check.h"

namespace {

using namespace velmora::engine;
using velmora::fuzz::Check;

class Disk : public InstalledFiles {
public:
    explicit Disk(const Manifest* matching) {
        if (matching)
            for (const auto& file : matching->files) sizes_[FoldCase(file.path)] = file.size;
    }
    std::optional<std::uint64_t> FileSize(std::string_view path) const override {
        const auto found = sizes_.find(FoldCase(path));
        if (found == sizes_.end()) return std::nullopt;
        return found->second;
    }

private:
    std::unordered_map<std::string, std::uint64_t> sizes_;
};

// The head's parser on the signed part of a head: a refusal has a reason,
// and a head read writes back byte for byte.
void CheckHead(std::string_view signedPart) {
    const auto head = ParseHeadBody(signedPart);
    if (!head) {
        Check(head.Error().status == EngineStatus::InvalidFormat, "head refusal is InvalidFormat");
        Check(!head.Error().reason.empty(), "head refusal has a reason");
        return;
    }
    Check(HeadBody(head.Value()) == signedPart, "written head equals the signed part");
    Check(head.Value().manifestSize >= 1 && head.Value().manifestSize <= kMaxManifestBytes, "manifest size bounded");
}

// Ranges of every needed chunk lie in their packs and run front to back.
void CheckRanges(const Manifest& manifest, const NeededChunks& needed) {
    std::vector<std::uint32_t> all(needed.size());
    for (std::uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    std::size_t ranged = 0;
    const std::vector<PackRange> ranges = JoinIntoRanges(needed, all);
    for (std::size_t r = 0; r < ranges.size(); ++r) {
        const PackRange& range = ranges[r];
        Check(range.begin < range.end && range.end <= manifest.packs[range.pack].size, "ranges lie in their pack");
        if (r > 0 && ranges[r - 1].pack == range.pack)
            Check(ranges[r - 1].end <= range.begin, "a pack's ranges run front to back, apart");
        ranged += range.chunks.size();
    }
    Check(ranged == needed.size(), "every chunk in one range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto parts = SplitSignatureLine(bytes); parts && IsHeadText(parts.Value().signedPart)) {
        CheckHead(parts.Value().signedPart);
        return 0;
    }
    // Every signature passes here: the fuzzer reaches the parser the way
    // a correctly signed manifest does.
    const auto parsed =
        ParseSignedManifest(bytes, [](std::string_view, const ManifestSignature&) { return Result<void>(); });
    if (const auto parts = SplitSignatureLine(bytes)) {
        const SignedPartReading read = [&](const std::function<Result<void>(std::string_view)>& take) {
            return take(parts.Value().signedPart);
        };
        const auto keys = ReadManifestKeysOnly(read, 0, 0);
        Check(keys.Ok() == parsed.Ok(), "keys-only reading accepts alike");
        if (keys && parsed) {
            Manifest keysOfWhole = parsed.Value().manifest;
            keysOfWhole.KeepOnlyChunkKeys();
            Check(keys.Value() == keysOfWhole, "keys-only reading keeps the keys of the chunk lines");
        } else if (!keys && !parsed) {
            Check(keys.Error().reason == parsed.Error().reason, "keys-only reading refuses for the same reason");
        }
    }
    if (!parsed) {
        Check(parsed.Error().status == EngineStatus::InvalidFormat, "refusal is InvalidFormat");
        Check(!parsed.Error().reason.empty(), "refusal has a reason");
        return 0;
    }
    const SignedManifest& result = parsed.Value();
    const std::string_view signedPart = bytes.substr(0, result.signedLength);
    Check(ManifestBody(result.manifest) == signedPart, "written body equals the signed part");
    Check(WithSignature(signedPart, result.signature) == bytes, "signature line rebuilds the rest");
    for (const auto& file : result.manifest.files) Check(IsSafeManifestPath(file.path), "paths are safe");

    const Manifest& manifest = result.manifest;
    const UpdatePlan same = PlanUpdate(&manifest, manifest, Disk(&manifest));
    Check(same.status == EngineStatus::UpToDate && same.contents.empty(), "nothing to do against itself");
    Check(same.filesUpToDate == manifest.files.size(), "every file up to date");

    const UpdatePlan fresh = PlanUpdate(nullptr, manifest, Disk(nullptr));
    // A content is built from the chunks of the first file that has it,
    // and every other file of it lists the same.
    std::map<Sha256Digest, const ManifestFile*> contents;
    std::set<Sha256Digest> chunks;
    for (const auto& file : manifest.files) {
        const auto [first, added] = contents.try_emplace(file.sha256, &file);
        Check(std::ranges::equal(manifest.ChunksOf(*first->second), manifest.ChunksOf(file)),
              "one content, one chunk list");
        if (added)
            for (const auto& chunk : manifest.ChunksOf(file)) chunks.insert(chunk.sha256);
    }
    Check(fresh.contents.size() == contents.size(), "each content built once");
    Check(fresh.status == (contents.empty() ? EngineStatus::UpToDate : EngineStatus::DownloadingClient),
          "fresh status");
    const NeededChunks needed = ListNeededChunks(manifest, fresh.contents, nullptr, Disk(nullptr));
    Check(needed.size() == chunks.size(), "each chunk taken once");
    CheckRanges(manifest, needed);

    // Read lean, as a release is: each line's place, sizes and digest as
    // the whole reading has them, and a fresh plan that fetches each stored
    // chunk once.
    const SignedPartReading read = [&](const std::function<Result<void>(std::string_view)>& take) {
        return take(signedPart);
    };
    const auto lean = ReadManifestKeysOnly(read, 0, 0, ChunkLinesKept::KeysAndPlaces);
    Check(lean.Ok(), "a manifest read whole is read lean");
    if (!lean || lean.Value().HoldsChunks()) return 0;
    std::set<std::uint64_t> places;
    for (std::size_t line = 0; line < manifest.chunks.size(); ++line) {
        const ManifestChunk& whole = manifest.chunks[line];
        const StoredChunk stored = StoredChunkAt(lean.Value(), line);
        Check(stored.WithDigest(whole.sha256) == whole, "a lean line is the whole line but for its digest");
        const std::string_view text = signedPart.substr(lean.Value().chunkLineStarts[line]);
        Check(ChunkLineDigest(text.substr(0, text.find('\n'))) == whole.sha256, "a lean line's digest is read again");
    }
    for (const auto& [digest, file] : contents)
        for (std::size_t line = file->firstChunk; line < file->firstChunk + file->chunkCount; ++line)
            places.insert(StoredPlaceAt(lean.Value(), line));
    const NeededChunks leanNeeded = ListNeededChunks(lean.Value(), fresh.contents, nullptr, Disk(nullptr));
    Check(leanNeeded.size() == places.size(), "each stored chunk taken once");
    CheckRanges(manifest, leanNeeded);
    return 0;
}
