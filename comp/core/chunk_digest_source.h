#pragma once
// The SHA-256 each needed chunk's content must hash to, asked for a few at
// a time as chunks are checked: a release read lean holds no digests, and
// they are read again from its text (comp/win/chunk_digests_win.h).
#include <cstdint>
#include <span>
#include <vector>

#include "core/chunk_plan.h"
#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

class ChunkDigestSource {
public:
    // The digests of `chunks` (indices into the needed chunks), in that
    // order. Called from several threads at once.
    virtual Result<std::vector<Sha256Digest>> DigestsOf(std::span<const std::uint32_t> chunks) const = 0;

protected:
    ~ChunkDigestSource() = default;
};

// A release that holds its chunk lines whole: each chunk's digest as its
// line gives it.
class HeldChunkDigests final : public ChunkDigestSource {
public:
    // Both must outlive this; `release` holds its chunk lines whole.
    HeldChunkDigests(const Manifest& release, const NeededChunks& needed) : release_(release), needed_(needed) {}

    Result<std::vector<Sha256Digest>> DigestsOf(std::span<const std::uint32_t> chunks) const override {
        std::vector<Sha256Digest> digests;
        digests.reserve(chunks.size());
        for (const std::uint32_t i : chunks) digests.push_back(release_.chunks[needed_.Line(i)].sha256);
        return digests;
    }

private:
    const Manifest& release_;
    const NeededChunks& needed_;
};

}  // namespace velmora::engine
