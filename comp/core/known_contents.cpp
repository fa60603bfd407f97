#include "core/known_contents.h"

#include <algorithm>

#include "core/case_fold.h"

namespace velmora::engine {

KnownContents::KnownContents(std::vector<PlacedFile> record, const Manifest* local, const Manifest* journal)
    : record_(std::move(record)) {
    std::size_t paths = record_.size();
    for (const Manifest* manifest : {local, journal})
        if (manifest) paths += manifest->files.size();
    known_.reserve(paths);
    byPath_ = FoldedPathIndex(paths);
    for (std::size_t i = 0; i < record_.size(); ++i) {
        const PlacedFile& file = record_[i];
        bool added = false;
        Known& known = FindOrAdd(file.path, added);
        if (!added) continue;  // a damaged record's second line of a path says nothing more
        known.entry = static_cast<std::uint32_t>(i);
        known.playerFile = file.playerFile;
        if (file.sha256) AddPlaced(known, *file.sha256);
    }
    for (const Manifest* manifest : {local, journal})
        if (manifest)
            for (const ManifestFile& file : manifest->files) Add(file);
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
        if (placed_[at].sha256 == sha256) return;
    placed_.push_back({sha256, known.placed});
    known.placed = static_cast<std::uint32_t>(placed_.size() - 1);
}

void KnownContents::Add(const ManifestFile& file) {
    bool added = false;
    Known& known = FindOrAdd(file.path, added);
    if (added) fromManifests_.push_back(&file);
    known.playerFile = known.playerFile || file.playerFile;
    AddPlaced(known, file.sha256);
}

const PlacedFile* KnownContents::Recorded(std::string_view path) const {
    const Known* known = Find(path);
    return known && known->entry != kNone ? &record_[known->entry] : nullptr;
}

std::optional<Sha256Digest> KnownContents::Vouched(std::string_view path, const std::optional<FileStamp>& onDisk) const {
    const PlacedFile* entry = Recorded(path);
    if (!entry || !entry->sha256 || !entry->stamp.Known() || onDisk != entry->stamp) return std::nullopt;
    return entry->sha256;
}

std::vector<Sha256Digest> KnownContents::Placed(std::string_view path) const {
    std::vector<Sha256Digest> placed;
    if (const Known* known = Find(path))
        for (std::uint32_t at = known->placed; at != kNone; at = placed_[at].earlier)
            placed.push_back(placed_[at].sha256);
    // In the order they became known: the record's first.
    std::reverse(placed.begin(), placed.end());
    return placed;
}

bool KnownContents::IsPlayerFile(std::string_view path) const {
    const Known* known = Find(path);
    return known && known->playerFile;
}

std::vector<PlacedFile> KnownContents::PlacedSoFar() const {
    std::vector<PlacedFile> files;
    files.reserve(record_.size() + fromManifests_.size());
    files.insert(files.end(), record_.begin(), record_.end());
    for (const ManifestFile* file : fromManifests_) files.push_back(ToBePlaced(*file));
    return files;
}

std::vector<std::string_view> KnownContents::PathsPlacedSoFar() const {
    std::vector<std::string_view> paths;
    paths.reserve(record_.size() + fromManifests_.size());
    for (const PlacedFile& file : record_) paths.push_back(file.path);
    for (const ManifestFile* file : fromManifests_) paths.push_back(file->path);
    return paths;
}

std::vector<PlacedFile> KnownContents::PlacedWhileMoving(const std::vector<PlacedFile>& placing) const {
    std::vector<PlacedFile> files = PlacedSoFar();
    for (const PlacedFile& file : placing)
        if (!Find(file.path)) files.push_back(file);
    return files;
}

std::vector<FileInPlace> KnownContents::CheckStamps(const InstalledFiles& disk) {
    std::vector<FileInPlace> vouched;
    vouched.reserve(record_.size());
    vouched_.assign(record_.size(), false);
    for (std::size_t i = 0; i < record_.size(); ++i) {
        const PlacedFile& entry = record_[i];
        if (!entry.sha256 || !entry.stamp.Known() || disk.Stamp(entry.path) != entry.stamp) continue;
        vouched_[i] = true;
        vouched.push_back({entry.path, &*entry.sha256, entry.stamp.size});
    }
    return vouched;
}

bool KnownContents::RecordIsRelease(const Manifest& release, const std::vector<bool>& kept) const {
    if (record_.size() != release.files.size() || vouched_.size() != record_.size()) return false;
    for (std::size_t i = 0; i < release.files.size(); ++i) {
        const ManifestFile& file = release.files[i];
        const Known* known = Find(file.path);
        if (!known || known->entry == kNone) return false;
        const PlacedFile& entry = record_[known->entry];
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

std::vector<PlacedFile> PlacedAfterRelease(const Manifest& release, const KnownContents& known,
                                           const InstalledFiles& disk, const std::vector<bool>& kept) {
    std::vector<PlacedFile> files;
    files.reserve(release.files.size());
    for (std::size_t i = 0; i < release.files.size(); ++i) {
        const ManifestFile& file = release.files[i];
        PlacedFile entry = ToBePlaced(file);
        if (i < kept.size() && kept[i]) {
            // What the engine last put there, so that the player's changes
            // are still told from it.
            const PlacedFile* recorded = known.Recorded(file.path);
            const std::vector<Sha256Digest> placed = known.Placed(file.path);
            if (recorded && recorded->sha256)
                entry.sha256 = recorded->sha256;
            else if (!placed.empty())
                entry.sha256 = placed.front();
        } else if (const std::optional<FileStamp> stamp = disk.Stamp(file.path); stamp && stamp->size == file.size) {
            entry.stamp = *stamp;
        }
        files.push_back(std::move(entry));
    }
    return files;
}

}  // namespace velmora::engine
