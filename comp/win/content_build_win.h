#pragma once
// Builds the file contents of a run in the staging folder from their
// chunks: what an earlier run left (a .ready checked whole, a .build checked
// chunk by chunk), chunks copied from the old files of the install, and the
// rest as the server's packs deliver them. Every chunk is checked against
// its SHA-256 before it is written, so a .build holds only checked chunks
// (and zeros where none has come yet), and every content is checked whole
// before it is a .ready, so nothing but the signed content is ever placed.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "winsupport/owners_win.h"
#include "chunk_digests_win.h"
#include "core/cancel_flag.h"
#include "core/chunk_destination.h"
#include "core/chunk_digest_source.h"
#include "core/chunk_plan.h"
#include "core/engine_status.h"
#include "core/update_plan.h"
#include "game_folder_win.h"
#include "staging_win.h"

namespace velmora::engine {

class ContentBuild final : public ChunkDestinations, public ChunkDigestSource {
public:
    // `remote` holds its chunk lines whole, or lean with `texts` its text
    // (null otherwise), from which their digests are read.
    ContentBuild(const Manifest& remote, const ChunkDigests* texts, const Manifest* local, const GameFolder& game,
                 const StagingFolder& staging, const CancelFlag& cancel)
        : remote_(remote), texts_(texts), local_(local), game_(game), staging_(staging), cancel_(cancel) {}

    // Takes stock of the contents: a .ready an earlier run left is checked
    // and kept; every other content gets its .build, made at its size, or
    // kept from an earlier run with the chunks that check out in it. Then
    // each chunk not yet in place is copied from the install where an old
    // file holds it. `leftovers` is the staging folder's listing. Returns
    // the chunks still to fetch (indices into Needed()).
    Result<std::vector<std::uint32_t>> Prepare(const ContentsToBuild& contents,
                                             const std::unordered_map<std::wstring, std::uint64_t>& leftovers);

    const NeededChunks& Needed() const noexcept { return needed_; }

    // The .build a writer last wrote to, kept open for its next chunk: a
    // range brings a file's chunks one after another.
    struct OpenBuild {
        std::wstring path;
        UniqueFileHandle handle;
    };

    // Writes a chunk's checked content to every place it goes. Several
    // threads may write different chunks at once, each with its own
    // OpenBuild (closed before Finish).
    Result<void> Write(std::size_t chunk, std::span<const std::uint8_t> content, OpenBuild& open) const;

    // A writer with an OpenBuild of its own; every writer must be gone
    // before Finish.
    std::unique_ptr<ChunkDestination> NewWriter() const override;

    // What each chunk must hash to: its line's digest; of a lean release, a
    // chunk that makes up a content of one chunk whole must hash to that
    // content's SHA-256, which the file line gives, and only the others'
    // are read from the text.
    Result<std::vector<Sha256Digest>> DigestsOf(std::span<const std::uint32_t> chunks) const override;

    // Once every chunk is in: each .build is flushed, hashed whole (-7, and
    // the .build deleted, when it is not the content: the chunks checked
    // one by one, but the manifest may list them wrongly) and renamed to
    // .ready. A content of one chunk is a flushed .ready from the start,
    // made only when that chunk's SHA-256 is the content's.
    Result<void> Finish() const;

    // Contents finished at once.
    static constexpr unsigned kFinishingThreads = 4;

private:
    Result<void> CheckOneChunkContent(const ManifestFile& content) const;
    Result<void> FinishContent(std::size_t c) const;
    // Whether chunk `i` may be in place already, or in an old file.
    bool MayBeOnDisk(std::size_t i) const;
    Result<void> RestockFromDisk(std::size_t first, std::size_t end, std::vector<std::uint32_t>& wanted);
    Result<bool> Restock(std::size_t chunk, const Sha256Digest& sha256, OpenBuild& open);
    Result<void> WriteTo(const ChunkTarget& target, std::span<const std::uint8_t> content, OpenBuild& open) const;
    // The remote file whose content is built `c`-th.
    const ManifestFile& BuiltFile(std::size_t c) const { return remote_.files[building_[c].source]; }
    std::wstring BuildPath(const ChunkTarget& target) const {
        return staging_.BuildPath(BuiltFile(target.content).sha256);
    }

    const Manifest& remote_;
    const ChunkDigests* texts_;
    const Manifest* local_;
    const GameFolder& game_;
    const StagingFolder& staging_;
    const CancelFlag& cancel_;
    std::vector<ContentToBuild> building_;  // the contents without a good .ready
    std::vector<bool> resumed_;             // their .build comes from an earlier run
    std::vector<bool> whole_;               // of one chunk: written whole as the .ready
    NeededChunks needed_;
    std::vector<bool> placed_;  // by NeededChunks::TargetNumber: already in its place
};

}  // namespace velmora::engine
