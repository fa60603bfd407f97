#include "core/known_contents.h"

#include <algorithm>

#include "core/case_fold.h"

namespace velmora::engine {

KnownContents::KnownContents(const PlacedFiles* record, const Manifest* local, const Manifest* journal)
    : record_(record) {
    const PlacedFiles& recorded = Record();
    // Room for the longest list: the record and the manifests mostly list
    // the same paths, and both lists grow where they do not.
    std::size_t paths = recorded.size();
    for (const Manifest* manifest : {local, journal})
        if (manifest) paths = std::max(paths, manifest->files.size());
    known_.reserve(paths);
    byPath_ = FoldedPathIndex(paths);
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        const PlacedFile file = recorded[i];
        bool added = false;
        Known& known = FindOrAdd(file.path, added);
        if (!added) continue;  // a damaged record's second line of a path says nothing more
        known.entry = static_cast<std::uint32_t>(i);
        known.playerFile = file.playerFile;
        if (const Sha256Digest* content = recorded.Content(i)) AddPlaced(known, *content);
    }
    for (const Manifest* manifest : {local, journal})
        if (manifest)
            for (const ManifestFile& file : manifest->files) Add(file);
}

const PlacedFiles& KnownContents::Record() const {
    static const PlacedFiles kNoRecord;
    return record_ ? *record_ : kNoRecord;
}

const KnownContents::Known* KnownContents::Find(std::string_view path) const {
    const auto at = byPath_.Find(path, [this](std::uint32_t i) { return known_[i].path; });
    return at ? &known_[*at] : nullptr;
}

KnownContents::Known& KnownContents::FindOrAdd(std::string_view path, bool& added) {
    const auto next = static_cast<std::uint32_t>(known_.size());
    const std::uint32_t at = byPath_.FindOrAdd(path, next, [this](std::uint32_t i) { return known_[i].path; });
    added = at == next;
    if (added) known_.push_back({path});
    return known_[at];
}

void KnownContents::AddPlaced(Known& known, const Sha256Digest& sha256) {
    for (std::uint32_t at = known.placed; at != kNone; at = placed_[at].earlier)
        if (*placed_[at].sha256 == sha256) return;
    placed_.push_back({&sha256, known.placed});
    known.placed = static_cast<std::uint32_t>(placed_.size() - 1);
}

void KnownContents::Add(const ManifestFile& file) {
    bool added = false;
    Known& known = FindOrAdd(file.path, added);
    if (added) fromManifests_.push_back(&file);
    known.playerFile = known.playerFile || file.playerFile;
    AddPlaced(known, file.sha256);
}

std::optional<PlacedFile> KnownContents::Recorded(std::string_view path) const {
    const Known* known = Find(path);
    if (!known || known->entry == kNone) return std::nullopt;
    return Record()[known->entry];
}

std::optional<Sha256Digest> KnownContents::Vouched(std::string_view path, const std::optional<FileStamp>& onDisk) const {
    const std::optional<PlacedFile> entry = Recorded(path);
    if (!entry || !entry->sha256 || !entry->stamp.Known() || onDisk != entry->stamp) return std::nullopt;
    return entry->sha256;
}

std::vector<Sha256Digest> KnownContents::Placed(std::string_view path) const {
    std::vector<Sha256Digest> placed;
    if (const Known* known = Find(path))
        for (std::uint32_t at = known->placed; at != kNone; at = placed_[at].earlier)
            placed.push_back(*placed_[at].sha256);
    // In the order they became known: the record's first.
    std::reverse(placed.begin(), placed.end());
    return placed;
}

bool KnownContents::IsPlayerFile(std::string_view path) const {
    const Known* known = Find(path);
    return known && known->playerFile;
}

std::vector<std::string_view> KnownContents::PlacedPathsGoneFrom(const Manifest& release) const {
    std::vector<bool> listed(known_.size(), false);
    const auto pathOf = [this](std::uint32_t i) { return known_[i].path; };
    for (const ManifestFile& file : release.files)
        if (const auto at = byPath_.Find(file.path, pathOf)) listed[*at] = true;
    std::vector<std::string_view> gone;
    for (std::size_t i = 0; i < known_.size(); ++i)
        if (!listed[i]) gone.push_back(known_[i].path);
    return gone;
}

Result<void> KnownContents::WriteWhileMoving(const Manifest& release, const std::vector<bool>& placing,
                                             const TextPieces& take) const {
    PlacedFilesWriter writer(take);
    const PlacedFiles& record = Record();
    for (std::size_t i = 0; i < record.size(); ++i) writer.Add(record[i]);
    for (const ManifestFile* file : fromManifests_) writer.Add(ToBePlaced(*file));
    for (std::size_t i = 0; i < placing.size() && i < release.files.size(); ++i)
        if (placing[i] && !Find(release.files[i].path)) writer.Add(ToBePlaced(release.files[i]));
    return writer.Finish();
}

void KnownContents::CheckStamps(const InstalledFiles& disk) {
    const PlacedFiles& record = Record();
    vouched_.assign(record.size(), false);
    for (std::size_t i = 0; i < record.size(); ++i) {
        const PlacedFile entry = record[i];
        vouched_[i] = entry.sha256 && entry.stamp.Known() && disk.Stamp(entry.path) == entry.stamp;
    }
}

std::optional<FileInPlace> KnownContents::InPlaceAt(std::string_view path) const {
    const Known* known = Find(path);
    if (!known || known->entry == kNone || known->entry >= vouched_.size() || !vouched_[known->entry])
        return std::nullopt;
    const PlacedFile entry = Record()[known->entry];
    return FileInPlace{entry.path, Record().Content(known->entry), entry.stamp.size};
}

bool KnownContents::RecordIsRelease(const Manifest& release, const std::vector<bool>& kept) const {
    const PlacedFiles& record = Record();
    if (record.size() != release.files.size() || vouched_.size() != record.size()) return false;
    for (std::size_t i = 0; i < release.files.size(); ++i) {
        const ManifestFile& file = release.files[i];
        const Known* known = Find(file.path);
        if (!known || known->entry == kNone) return false;
        const PlacedFile entry = record[known->entry];
        if (entry.path != file.path || entry.playerFile != file.playerFile) return false;
        const bool same = i < kept.size() && kept[i] ? !entry.stamp.Known() && entry.sha256
                                                     : vouched_[known->entry] && entry.sha256 == file.sha256;
        if (!same) return false;
    }
    return true;
}

bool PlayerChangedIt(const Sha256Digest& onDisk, const std::vector<Sha256Digest>& placed) {
    return std::find(placed.begin(), placed.end(), onDisk) == placed.end();
}

PlayerFileChoice ChoosePlayerFile(const std::optional<Sha256Digest>& onDisk, const Sha256Digest& release,
                                  const std::vector<Sha256Digest>& placed) {
    if (!onDisk) return PlayerFileChoice::Place;
    if (*onDisk == release) return PlayerFileChoice::InPlace;
    return PlayerChangedIt(*onDisk, placed) ? PlayerFileChoice::Keep : PlayerFileChoice::Place;
}

PlacedFile ToBePlaced(const ManifestFile& file) { return {file.path, file.playerFile, file.sha256, {}}; }

void PlacedAfterRelease(const Manifest& release, const KnownContents& known, const InstalledFiles& disk,
                        const std::vector<bool>& kept, const std::function<void(const PlacedFile&)>& each) {
    for (std::size_t i = 0; i < release.files.size(); ++i) {
        const ManifestFile& file = release.files[i];
        PlacedFile entry = ToBePlaced(file);
        if (i < kept.size() && kept[i]) {
            // What the engine last put there, so that the player's changes
            // are still told from it.
            const std::optional<PlacedFile> recorded = known.Recorded(file.path);
            const std::vector<Sha256Digest> placed = known.Placed(file.path);
            if (recorded && recorded->sha256)
                entry.sha256 = recorded->sha256;
            else if (!placed.empty())
                entry.sha256 = placed.front();
        } else if (const std::optional<FileStamp> stamp = disk.Stamp(file.path); stamp && stamp->size == file.size) {
            entry.stamp = *stamp;
        }
        each(entry);
    }
}

}  // namespace velmora::engine
