#pragma once
// How the benchmark reads a manifest: as the engine does, from a file in
// pieces of 1 MiB, twice (the signature line and the signed part's bytes
// first, with the first lines parsed, then the signed part parsed, the
// local manifest keys-only); here
// every signature passes and the bytes are not hashed. Or, for the deep
// case, from its text whole.
#include <fstream>
#include <functional>
#include <string>

#include "core/manifest_keys_read.h"
#include "core/manifest_parse.h"
#include "core/signed_text_scan.h"

namespace velmora::engine {

inline Result<Manifest> ReadManifestForBenchmark(std::string_view text) {
    auto parsed = ParseSignedManifest(text, [](std::string_view, const ManifestSignature&) { return Result<void>(); });
    if (!parsed) return parsed.Error();
    return std::move(parsed).Value().manifest;
}

// Gives the first `limit` bytes of the file at `path` to `take`, a piece at a time.
inline Result<void> ReadPieces(const std::string& path, std::uint64_t limit,
                               const std::function<Result<void>(std::string_view)>& take) {
    std::ifstream file(path, std::ios::binary);
    std::string piece(std::size_t{1} << 20, '\0');
    while (limit > 0 && file) {
        file.read(piece.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(limit, piece.size())));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0) break;
        limit -= got;
        if (auto taken = take(std::string_view(piece.data(), got)); !taken) return taken;
    }
    return {};
}

// A manifest file after the first reading: its signature line found and
// its first lines parsed, as the engine checks a manifest before it reads
// the rest.
struct CheckedFileForBenchmark {
    std::string path;
    SignedTextShape shape;
    Manifest head;
};

inline Result<CheckedFileForBenchmark> CheckManifestFileForBenchmark(const std::string& path) {
    SignedTextScan scan;
    std::string start;
    if (auto read = ReadPieces(path, UINT64_MAX,
                               [&](std::string_view piece) {
                                   if (start.empty()) start = piece.substr(0, 4096);
                                   return scan.Feed(piece);
                               });
        !read)
        return read.Error();
    auto shape = scan.Finish();
    if (!shape) return shape.Error();
    auto head = ParseManifestHead(start);
    if (!head) return head.Error();
    return CheckedFileForBenchmark{path, shape.Value(), std::move(head).Value()};
}

// The rest, its signed part parsed; `kept`: KeysOnly for the local
// manifest, read for its files and chunk keys as the engine reads it.
inline Result<Manifest> ReadManifestBodyForBenchmark(const CheckedFileForBenchmark& checked,
                                                     ChunkLinesKept kept = ChunkLinesKept::Whole) {
    const SignedPartReading signedPart = [&](const std::function<Result<void>(std::string_view)>& take) {
        return ReadPieces(checked.path, checked.shape.signedLength, take);
    };
    if (kept != ChunkLinesKept::Whole)
        return ReadManifestKeysOnly(signedPart, checked.shape.fileLines, checked.shape.chunkLines, kept);
    ManifestBodyReader reader(checked.shape.fileLines, checked.shape.chunkLines);
    if (auto read = signedPart([&](std::string_view piece) { return reader.Feed(piece); }); !read)
        return read.Error();
    return reader.Finish();
}

inline Result<Manifest> ReadManifestFileForBenchmark(const std::string& path,
                                                     ChunkLinesKept kept = ChunkLinesKept::Whole) {
    auto checked = CheckManifestFileForBenchmark(path);
    if (!checked) return checked.Error();
    return ReadManifestBodyForBenchmark(checked.Value(), kept);
}

}  // namespace velmora::engine
