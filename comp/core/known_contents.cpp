#include "core/known_contents.h"

#include <algorithm>

#include "core/case_fold.h"

namespace velmora::engine {

KnownContents::KnownContents(const PlacedFiles* record, const Manifest* local, const Manifest* journal)
    : record_(record), local_(local), journal_(journal) {
    const PlacedFiles& recorded = Record();
    // Room for the longest list: the record and the manifests mostly list
    // the same paths, and the index grows where they do not.
    std::size_t paths = recorded.size();
    for (const Manifest* manifest : {local, journal})
        if (manifest) paths = std::max(paths, manifest->files.size());
    byPath_ = FoldedPathIndex(paths);
    const auto pathOf = [this](std::uint32_t at) { return PathAt(at); };
    for (std::uint32_t i = 0; i < recorded.size(); ++i)
        if (byPath_.FindOrAdd(recorded.Path(i), i, pathOf) != i) recordRepeats_.push_back(i);
    auto position = static_cast<std::uint32_t>(recorded.size());
    for (const Manifest* manifest : {local, journal}) {
        if (!manifest) continue;
        for (const ManifestFile& file : manifest->files) {
            const std::uint32_t first = byPath_.FindOrAdd(file.path, position, pathOf);
            if (first == position) {
                fromManifests_.push_back(position);
            } else {
                const Sha256Digest* content = FirstContent(first);
                if (!content || *content != file.sha256 || (file.playerFile && !FirstIsPlayerFile(first)))
                    later_.push_back({first, position});
            }
            ++position;
        }
    }
    std::sort(later_.begin(), later_.end());
}

const PlacedFiles& KnownContents::Record() const {
    static const PlacedFiles kNoRecord;
    return record_ ? *record_ : kNoRecord;
}

std::size_t KnownContents::RecordSize() const { return record_ ? record_->size() : 0; }

const ManifestFile& KnownContents::ManifestFileAt(std::uint32_t position) const {
    std::size_t at = position - RecordSize();
    if (local_) {
        if (at < local_->files.size()) return local_->files[at];
        at -= local_->files.size();
    }
    return journal_->files[at];
}

std::string_view KnownContents::PathAt(std::uint32_t position) const {
    return position < RecordSize() ? record_->Path(position) : std::string_view(ManifestFileAt(position).path);
}

const Sha256Digest* KnownContents::FirstContent(std::uint32_t position) const {
    return position < RecordSize() ? record_->Content(position) : &ManifestFileAt(position).sha256;
}

bool KnownContents::FirstIsPlayerFile(std::uint32_t position) const {
    return position < RecordSize() ? record_->IsPlayerFile(position) : ManifestFileAt(position).playerFile;
}

std::span<const KnownContents::LaterListing> KnownContents::LaterListings(std::uint32_t first) const {
    const auto from = std::lower_bound(later_.begin(), later_.end(), LaterListing{first, 0});
    const auto to = std::lower_bound(from, later_.end(), LaterListing{first + 1, 0});
    return {from, to};
}

std::optional<std::uint32_t> KnownContents::Find(std::string_view path) const {
    return byPath_.Find(path, [this](std::uint32_t at) { return PathAt(at); });
}

std::optional<std::uint32_t> KnownContents::RecordEntry(std::string_view path) const {
    const std::optional<std::uint32_t> at = Find(path);
    if (!at || *at >= RecordSize()) return std::nullopt;
    return at;
}

std::optional<PlacedFile> KnownContents::Recorded(std::string_view path) const {
    const std::optional<std::uint32_t> entry = RecordEntry(path);
    if (!entry) return std::nullopt;
    return (*record_)[*entry];
}

std::optional<Sha256Digest> KnownContents::Vouched(std::string_view path, const std::optional<FileStamp>& onDisk) const {
    const std::optional<PlacedFile> entry = Recorded(path);
    if (!entry || !entry->sha256 || !entry->stamp.Known() || onDisk != entry->stamp) return std::nullopt;
    return entry->sha256;
}

std::vector<Sha256Digest> KnownContents::Placed(std::string_view path) const {
    // In the order they became known: the record's first.
    std::vector<Sha256Digest> placed;
    const std::optional<std::uint32_t> at = Find(path);
    if (!at) return placed;
    if (const Sha256Digest* first = FirstContent(*at)) placed.push_back(*first);
    for (const LaterListing& later : LaterListings(*at)) {
        const Sha256Digest& content = ManifestFileAt(later.listing).sha256;
        if (std::find(placed.begin(), placed.end(), content) == placed.end()) placed.push_back(content);
    }
    return placed;
}

bool KnownContents::IsPlayerFile(std::string_view path) const {
    const std::optional<std::uint32_t> at = Find(path);
    if (!at) return false;
    if (FirstIsPlayerFile(*at)) return true;
    const std::span<const LaterListing> later = LaterListings(*at);
    return std::any_of(later.begin(), later.end(),
                       [this](const LaterListing& l) { return ManifestFileAt(l.listing).playerFile; });
}

std::vector<std::string_view> KnownContents::PlacedPathsGoneFrom(const Manifest& release) const {
    std::size_t positions = RecordSize();
    for (const Manifest* manifest : {local_, journal_})
        if (manifest) positions += manifest->files.size();
    std::vector<bool> listed(positions, false);
    for (const ManifestFile& file : release.files)
        if (const auto at = Find(file.path)) listed[*at] = true;
    std::vector<std::string_view> gone;
    auto repeat = recordRepeats_.begin();
    for (std::uint32_t i = 0; i < RecordSize(); ++i) {
        if (repeat != recordRepeats_.end() && *repeat == i) {
            ++repeat;
            continue;
        }
        if (!listed[i]) gone.push_back(record_->Path(i));
    }
    for (const std::uint32_t at : fromManifests_)
        if (!listed[at]) gone.push_back(PathAt(at));
    return gone;
}

Result<void> KnownContents::WriteWhileMoving(const Manifest& release, const std::vector<bool>& placing,
                                             const TextPieces& take) const {
    PlacedFilesWriter writer(take);
    const PlacedFiles& record = Record();
    for (std::size_t i = 0; i < record.size(); ++i) writer.Add(record[i]);
    for (const std::uint32_t at : fromManifests_) writer.Add(ToBePlaced(ManifestFileAt(at)));
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
    const std::optional<std::uint32_t> entry = RecordEntry(path);
    if (!entry || *entry >= vouched_.size() || !vouched_[*entry]) return std::nullopt;
    return FileInPlace{record_->Path(*entry), record_->Content(*entry), record_->Stamp(*entry).size};
}

bool KnownContents::RecordIsRelease(const Manifest& release, const std::vector<bool>& kept) const {
    const PlacedFiles& record = Record();
    if (record.size() != release.files.size() || vouched_.size() != record.size()) return false;
    for (std::size_t i = 0; i < release.files.size(); ++i) {
        const ManifestFile& file = release.files[i];
        const std::optional<std::uint32_t> at = RecordEntry(file.path);
        if (!at) return false;
        const PlacedFile entry = record[*at];
        if (entry.path != file.path || entry.playerFile != file.playerFile) return false;
        const bool same = i < kept.size() && kept[i] ? !entry.stamp.Known() && entry.sha256
                                                     : vouched_[*at] && entry.sha256 == file.sha256;
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
