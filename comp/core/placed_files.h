#pragma once
// The record of the files the engine has placed in the game folder
// (libs\gamedata.placed): per file, the content the engine put there and
// the file's size and last-write time once it held it. A file whose stamp
// is still the recorded one holds that content, so a run with nothing to
// do reads no file, while a file changed since (damaged, edited, deleted)
// is noticed. Files a release drops are found from it as well as from the
// manifests, because a manifest may stop checking out (signed with a key
// this engine no longer trusts, or damaged) while the files it listed are
// still on the disk. The record depends on no key: it lists only what this
// engine put there.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_status.h"
#include "core/file_stamp.h"
#include "core/manifest.h"

namespace velmora::engine {

// One file of the record, as a view: `path` is the bytes of whatever it was
// taken from (a PlacedFiles, a manifest), valid while that lives and is
// neither added to nor moved.
struct PlacedFile {
    std::string_view path;
    bool playerFile = false;
    // What the engine placed there; nothing when not known (a record of the
    // first form lists paths alone).
    std::optional<Sha256Digest> sha256;
    // The file's stamp when it held that content; unknown when the engine
    // has not seen it since (it is then hashed before it is trusted).
    FileStamp stamp;

    friend bool operator==(const PlacedFile&, const PlacedFile&) = default;
};

// The record's files, held compactly: a large game lists a few hundred
// thousand. Where the record lists the files of a manifest the engine holds
// anyway (the local manifest: a run that completed writes the record from
// it, in its order), a file alike the manifest's at the same index (the
// same path bytes, content, kind and size) keeps only its last-write time
// and takes the rest from the manifest. Other files keep their paths back to back in one
// block found by 32-bit offsets, and their contents and kinds in flat
// lists. The block stays far under 4 GiB: the record's text, and each
// manifest, is at most kMaxManifestBytes.
class PlacedFiles {
public:
    PlacedFiles() = default;
    PlacedFiles(std::initializer_list<PlacedFile> files);
    // Shares what it can with `alike`, which must outlive this (moving the
    // vector that holds them keeps them where they are).
    explicit PlacedFiles(std::span<const ManifestFile> alike) : alike_(alike) {}

    // Room for `files` more files, of which `whole` are not alike and have
    // paths of `pathBytes`, taken at once.
    void Reserve(std::size_t files, std::size_t whole, std::size_t pathBytes);
    // Copies the file in; a stamp without a content is not kept.
    void Add(const PlacedFile& file);

    std::size_t size() const { return lastWrites_.size(); }
    bool empty() const { return lastWrites_.empty(); }
    // The i-th file, its path a view into this record or the manifest.
    PlacedFile operator[](std::size_t i) const;
    std::string_view Path(std::size_t i) const;
    // The content placed at the i-th file, as this record or the manifest
    // holds it; null when not known.
    const Sha256Digest* Content(std::size_t i) const;
    bool IsPlayerFile(std::size_t i) const;
    FileStamp Stamp(std::size_t i) const;

    // The same files, however they are held.
    friend bool operator==(const PlacedFiles& a, const PlacedFiles& b);

private:
    static constexpr std::uint8_t kPlayerFile = 1;
    static constexpr std::uint8_t kContentKnown = 2;
    static constexpr std::uint32_t kAlike = 0xffffffffu;

    // The i-th file's number among those kept whole, or kAlike.
    std::uint32_t Whole(std::size_t i) const;

    std::span<const ManifestFile> alike_;
    std::vector<std::uint64_t> lastWrites_;  // of the stamp, per file
    // Per file, its number among those kept whole or kAlike; empty while
    // the files are all kept whole or all alike.
    std::vector<std::uint32_t> whole_;
    // The files kept whole.
    std::string paths_;
    std::vector<std::uint32_t> ends_;  // where each path ends in paths_
    std::vector<Sha256Digest> sha256_;
    std::vector<std::uint64_t> sizes_;  // of the stamp
    std::vector<std::uint8_t> kinds_;
};

// Takes the pieces of a text in order; a failure stops the reading or
// writing that feeds it.
using TextPieces = std::function<Result<void>(std::string_view piece)>;

// Writes a record's text, "VELPLACED 2\n" then, per file, "file <sha256>
// <size> <last-write> <path>\n" ("player-file" for a file of the player's;
// "-" for an unknown content, whose size and time are then 0), giving it to
// `take` in pieces of some 64 KiB as the files come, so that the text is
// never whole in memory.
class PlacedFilesWriter {
public:
    explicit PlacedFilesWriter(TextPieces take);
    void Add(const PlacedFile& file);
    // Gives the last piece. The first failure of `take`, after which it was
    // given nothing more.
    Result<void> Finish();

private:
    void Give();

    TextPieces take_;
    std::string piece_;
    Result<void> given_;
};

// The record's text through a PlacedFilesWriter, or whole.
Result<void> WritePlacedFiles(const PlacedFiles& files, const TextPieces& take);
std::string PlacedFilesText(const PlacedFiles& files);

// The record's files, from either form ("VELPLACED 1\n" then one path per
// line); nothing when the record is in neither, is cut short, is larger
// than kMaxManifestBytes, or any of its paths is one a manifest could not
// list: a damaged record removes nothing. `readText` gives the whole text,
// in pieces of any size, to the function it is handed, and is called
// twice: once to count the room the lists take, once to check the record
// and fill them; nothing when either reading fails. `alike`: the files of
// the manifest the record is likely to repeat (PlacedFiles), or none.
std::optional<PlacedFiles> ReadPlacedFiles(const std::function<Result<void>(const TextPieces&)>& readText,
                                           std::span<const ManifestFile> alike = {});
// The same from the text whole.
std::optional<PlacedFiles> ParsePlacedFiles(std::string_view text, std::span<const ManifestFile> alike = {});

// The paths of a manifest's files, or of a record's.
std::vector<std::string> PathsOf(const Manifest& manifest);
std::vector<std::string> PathsOf(const PlacedFiles& files);

}  // namespace velmora::engine
