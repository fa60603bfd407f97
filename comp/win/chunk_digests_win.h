#pragma once
// The whole SHA-256 of a release's chunk lines, read again from its text as
// chunks are checked: a release read with its chunk lines' keys and places
// (ChunkLinesKept::KeysAndPlaces) holds 28 bytes a line instead of 48, and
// the text, checked once, is held open with writers shut out until the run
// is done with it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "local_manifest_win.h"
#include "winsupport/owners_win.h"

namespace velmora::engine {

class ChunkDigests {
public:
    // `text`: the manifest's file, open since it was checked, so that nobody
    // wrote to it since; `lineStarts`: Manifest::chunkLineStarts, which must
    // outlive this.
    ChunkDigests(UniqueFileHandle text, std::wstring path, std::span<const std::uint32_t> lineStarts)
        : text_(std::move(text)), path_(std::move(path)), lineStarts_(lineStarts) {}

    // The text of a manifest read lean, opened again with writers shut out
    // and hashed whole: -9 when it is no longer the text that was read (its
    // size or SHA-256 differ). `text` must outlive this.
    static Result<ChunkDigests> Open(const ManifestText& text);

    // The digests of chunk lines `lines` (numbers into the manifest's chunk
    // lines, in any order), in that order. Lines close to one another in
    // the text come in one read. InvalidFormat when the text there is no
    // chunk line.
    Result<std::vector<Sha256Digest>> Of(std::span<const std::uint32_t> lines) const;

private:
    UniqueFileHandle text_;
    std::wstring path_;
    std::span<const std::uint32_t> lineStarts_;
};

}  // namespace velmora::engine
