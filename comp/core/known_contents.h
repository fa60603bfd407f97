#pragma once
// What the engine knows of the files it placed, from the record of placed
// files, the local manifest and the journal: which content a file still
// holds without reading it, which contents the engine put there, and which
// files are the player's to edit. With it the run decides which files to
// hash, to keep and to replace, and what the record says afterwards.
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <cstdint>
#include <vector>

#include "core/file_stamp.h"
#include "core/folded_path_index.h"
#include "core/manifest.h"
#include "core/placed_files.h"
#include "core/update_plan.h"

namespace velmora::engine {

class KnownContents final : public FilesInPlace {
public:
    KnownContents() = default;
    // Each may be null (no sound record; a manifest absent or not checking
    // out). They must outlive this, which keeps them and their paths by
    // reference.
    KnownContents(const PlacedFiles* record, const Manifest* local, const Manifest* journal);
    KnownContents(KnownContents&&) noexcept = default;
    KnownContents& operator=(KnownContents&&) noexcept = default;
    KnownContents(const KnownContents&) = delete;
    KnownContents& operator=(const KnownContents&) = delete;

    // The content the record says `path` holds, when the disk's stamp is the
    // one recorded; nothing when the file may have changed since.
    std::optional<Sha256Digest> Vouched(std::string_view path, const std::optional<FileStamp>& onDisk) const;
    // Every content the engine placed at `path`, or was on its way to place
    // there (the journal's).
    std::vector<Sha256Digest> Placed(std::string_view path) const;
    // Whether the record or a manifest marks `path` as the player's.
    bool IsPlayerFile(std::string_view path) const;
    // The record's entry for `path`, if it has one.
    std::optional<PlacedFile> Recorded(std::string_view path) const;

    // The paths of everything placed so far that `release` does not list
    // (names compared as Windows compares them): of the record's files,
    // then of the manifests' that it lacks, as the record and the
    // manifests spell them.
    std::vector<std::string_view> PlacedPathsGoneFrom(const Manifest& release) const;
    // What the record says while a run moves files, written in pieces to
    // `take`: everything placed so far (the manifests' files with their
    // contents and no stamp), then the files of `release` marked in
    // `placing` (by index into its files) that none of them lists, to be
    // placed; so that whatever a stopped run placed is found again.
    Result<void> WriteWhileMoving(const Manifest& release, const std::vector<bool>& placing,
                                  const TextPieces& take) const;

    // Compares the record's stamps with `disk`'s, once: from then on the
    // files it vouches for are in place (InPlaceAt), each with the content
    // it holds and the size of its stamp, viewed in the record. The plan
    // takes them as up to date where the release lists the same content.
    void CheckStamps(const InstalledFiles& disk);
    std::optional<FileInPlace> InPlaceAt(std::string_view path) const override;

    // Whether the record, written again once the release is in place (the
    // player's files `kept`, by index into its files), would come out the
    // same: it lists the release's files alone, of their kinds, each
    // vouched for with the release's content, or, where kept, with no stamp.
    bool RecordIsRelease(const Manifest& release, const std::vector<bool>& kept) const;

private:
    // A path is known by where it was first listed: an entry of the record
    // (positions below the record's size), else a file of the local
    // manifest, then of the journal, numbered on after the record's
    // entries. A large game lists some hundred thousand paths, and the
    // record and the manifests mostly agree on them: nothing is kept per
    // path but its slot in the index.
    //
    // A later listing of a known path is kept only where it adds to the
    // first: a content of its own, or the player's kind.
    struct LaterListing {
        std::uint32_t first;    // the path's position
        std::uint32_t listing;  // the later listing's position
        friend auto operator<=>(const LaterListing&, const LaterListing&) = default;
    };

    std::size_t RecordSize() const;
    std::string_view PathAt(std::uint32_t position) const;
    // A position at or after the record's entries.
    const ManifestFile& ManifestFileAt(std::uint32_t position) const;
    // What the first listing at `position` says: the content (null when a
    // record of paths alone gives none) and the kind.
    const Sha256Digest* FirstContent(std::uint32_t position) const;
    bool FirstIsPlayerFile(std::uint32_t position) const;
    std::span<const LaterListing> LaterListings(std::uint32_t first) const;
    std::optional<std::uint32_t> Find(std::string_view path) const;
    // The record's first entry of `path`, if it lists it.
    std::optional<std::uint32_t> RecordEntry(std::string_view path) const;
    const PlacedFiles& Record() const;

    const PlacedFiles* record_ = nullptr;
    const Manifest* local_ = nullptr;
    const Manifest* journal_ = nullptr;
    std::vector<bool> vouched_;  // by entry of the record, from CheckStamps
    // Entries of a damaged record whose path an earlier entry lists: they
    // say nothing more. In order.
    std::vector<std::uint32_t> recordRepeats_;
    // The manifests' files whose paths the record and the manifests before
    // do not list, by position, in order.
    std::vector<std::uint32_t> fromManifests_;
    std::vector<LaterListing> later_;  // in order of first, then of listing
    FoldedPathIndex byPath_;           // positions
};

enum class PlayerFileChoice {
    Place,    // missing, or still a content the engine put there: the release's goes there
    Keep,     // the player changed it: it stays as it is
    InPlace,  // it already holds the release's content
};

// Whether a file of the player's holding `onDisk` holds none of the
// contents the engine `placed` there (none placed: the player's own).
bool PlayerChangedIt(const Sha256Digest& onDisk, const std::vector<Sha256Digest>& placed);

// What becomes of a file of the player's that the release lists with
// `release`, the disk holding `onDisk` (nothing: no file there). A file
// holding none of the contents the engine placed there was changed by the
// player, and is kept; so is one the engine never placed.
PlayerFileChoice ChoosePlayerFile(const std::optional<Sha256Digest>& onDisk, const Sha256Digest& release,
                                  const std::vector<Sha256Digest>& placed);

// A file of the release as the record lists it before the engine has seen
// it in place: its content, no stamp; its path a view of the manifest's.
PlacedFile ToBePlaced(const ManifestFile& file);

// The record once the release is in place, given to `each` file by file
// (to a PlacedFilesWriter, say: it is never held whole): each of its files
// with its content and the stamp `disk` gives now, but a file of the
// player's the run kept (`kept`, by index into the release's files), which
// keeps the content the engine last placed there and no stamp, so that it
// is hashed again next time.
void PlacedAfterRelease(const Manifest& release, const KnownContents& known, const InstalledFiles& disk,
                        const std::vector<bool>& kept, const std::function<void(const PlacedFile&)>& each);

}  // namespace velmora::engine
