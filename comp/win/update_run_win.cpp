#include "update_run_win.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "chunk_digests_win.h"
#include "content_build_win.h"
#include "disk_settle_win.h"
#include "core/accepted_floor.h"
#include "core/apply_plan.h"
#include "core/chunk_plan.h"
#include "core/path_rules.h"
#include "core/placed_files.h"
#include "core/release_choice.h"
#include "core/trusted_keys.h"
#include "core/update_plan.h"
#include "engine_records_win.h"
#include "file_ops_win.h"
#include "game_folder_win.h"
#include "internet_session_win.h"
#include "local_manifest_win.h"
#include "local_reading_win.h"
#include "pack_fetch_win.h"
#include "served_manifest_win.h"
#include "sha256_win.h"
#include "staging_win.h"
#include "updater_switch_win.h"
#include "winsupport/text_win.h"

namespace velmora::engine {
namespace {

// The floor a manifest sets: its version, what its signature covers and
// the key that made it.
AcceptedFloor FloorOf(const ManifestText& text) {
    return AcceptedFloor{text.parsed.manifest.version, text.signer.signedDigest, std::string(text.signer.key)};
}

std::optional<AcceptedFloor> FloorOf(const std::optional<ManifestText>& text) {
    if (!text) return std::nullopt;
    return FloorOf(*text);
}

// Stops a run that would fill the disk before it downloads anything: a
// full disk half-way is local trouble that wastes the player's time.
Result<void> CheckFreeSpace(const std::wstring& folder, std::uint64_t needed) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        return LocalFileError("cannot ask the free space of", folder);
    if (available.QuadPart >= needed) return {};
    return EngineError{EngineStatus::WrongFile,
                       "not enough free space: the update needs " + std::to_string(needed) + " bytes in " +
                           Utf8(folder) + ", " + std::to_string(available.QuadPart) + " are free",
                       true};
}

std::int64_t SecondsSince1970() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    constexpr std::uint64_t k1970 = 116444736000000000ull;  // 100 ns ticks from 1601 to 1970
    return static_cast<std::int64_t>((ticks - k1970) / 10000000ull);
}

class Run {
public:
    Run(const DataUrl& url, const RunPaths& paths, std::uint64_t engineVersion, const StatusWriter& status,
        const CancelFlag& cancel)
        : url_(url),
          paths_(paths),
          engineVersion_(engineVersion),
          status_(status),
          cancel_(cancel),
          game_(paths.gameFolder),
          staging_(paths.libsFolder + L"\\staging"),
          records_(paths.libsFolder, paths.localManifest, staging_.ManifestPath()) {}

    Result<void> Execute();

private:
    Result<void> Check() const { return cancel_.Raised() ? Result<void>(Stopped()) : Result<void>(); }
    Result<ServedManifest> FetchRemote(const std::optional<ManifestText>& local);
    Result<void> Apply(const ManifestText& release, const std::optional<ManifestText>& local,
                       const std::optional<ManifestText>& journal, const ReleaseChoice& choice,
                       const std::optional<AcceptedFloor>& record, const PlacedFiles& placed);
    Result<void> Move(const ContentsToBuild& contents, const DroppedFiles& dropped) const;
    Result<void> RaiseFloor(const std::optional<AcceptedFloor>& record, const ManifestText& remote) const;
    Result<void> Build(const ManifestText& release, const ContentsToBuild& contents, EngineStatus downloading);
    Result<void> HoldPlacesOf(const ManifestText& release);
    Result<void> WritePlacedAfterRelease(const KnownContents& known, const std::vector<bool>& kept) const;
    Result<void> Place(const ContentsToBuild& contents) const;
    Result<void> PlaceContent(const ContentToBuild& content, const ContentsToBuild& contents,
                              const std::vector<std::string_view>& paths, UpdaterSwitch* updaterSwitch) const;
    bool HasUpdaterFile(std::span<const FileToWrite> files) const;
    Result<void> CheckTargetsFree(const ContentsToBuild& contents, const DroppedFiles& dropped) const;

    const DataUrl& url_;
    const RunPaths& paths_;
    const std::uint64_t engineVersion_;
    const StatusWriter& status_;
    const CancelFlag& cancel_;
    GameFolder game_;
    StagingFolder staging_;
    EngineRecords records_;
    std::shared_ptr<const InternetSession> session_;
    const Manifest* remote_ = nullptr;
    // The release read again lean, when it was read for its files alone.
    std::optional<ManifestText> leanRelease_;
    // The manifest applied last: its files' chunks may serve the new ones.
    const Manifest* local_ = nullptr;
};

Result<void> Run::Execute() {
    if (auto libs = CreateFolders(paths_.libsFolder); !libs) return libs;
    auto lock = records_.Lock();
    if (!lock) return lock.Error();

    // What an earlier switch of the updater's files set aside, now that
    // the updater that used it has ended.
    game_.ClearSetAsideFiles();
    status_.Status(EngineStatus::ReadingLocalManifest);
    // A journal is the manifest of an apply that began and did not finish:
    // the disk may hold any mix of the two releases.
    const std::optional<ManifestText> journal = records_.Journal();
    // The local manifest's bulk and the record of placed files are read
    // beside while the server is asked for its manifest.
    LocalReading reading(records_);
    const std::optional<AcceptedFloor> record = records_.FloorRecord();
    if (auto go = Check(); !go) return go;

    status_.Status(EngineStatus::LookingForChanges);
    auto fetched = FetchRemote(reading.Checked());
    if (!fetched) return fetched.Error();
    const LocalReading::Read read = reading.Finish();
    const std::optional<ManifestText>& local = read.local;
    // A head that names the local manifest: the server's manifest is that
    // one, and it goes through the same choice as one fetched.
    if (!fetched.Value().fetched && !local)
        return InvalidFormat("the server names the local manifest, whose lines do not check out");
    const ManifestText& served = fetched.Value().fetched ? *fetched.Value().fetched : *local;
    // The rollback floor: the record of the highest manifest gone to, or
    // the journal's or the local manifest where they are higher (an install
    // from before the record, or a record lost). A record set by a key this
    // engine no longer trusts does not count; the journal and the local
    // manifest count only when a trusted key signed them.
    const std::optional<AcceptedFloor> floor =
        HigherFloor(HigherFloor(BindingFloor(record, TrustedKeys()), FloorOf(journal)), FloorOf(local));
    std::optional<ManifestCandidate> interrupted;
    if (journal) interrupted = ManifestCandidate{&journal->parsed.manifest, FloorOf(*journal)};
    const auto choice = ChooseRelease(floor, {&served.parsed.manifest, FloorOf(served)}, local.has_value(),
                                      interrupted, SecondsSince1970(), engineVersion_);
    if (!choice) return choice.Error();
    switch (choice.Value().release) {
        case ReleaseToApply::KeepInstall:
            // A cache still serving an older release: the install stays as it is.
            if (auto tidy = records_.RemoveFetched(); !tidy) return tidy;
            status_.Status(EngineStatus::UpToDate);
            return {};
        case ReleaseToApply::FinishJournal:
            return Apply(*journal, local, journal, choice.Value(), record, read.placed);
        case ReleaseToApply::Served:
            break;
    }
    return Apply(served, local, journal, choice.Value(), record, read.placed);
}

// Goes to `release` in the steps PlanApply and PlanRecordSteps decide:
// build, then (status 5) raise the floor, write the journal and the record
// of placed files, move, write the records as the release leaves them.
Result<void> Run::Apply(const ManifestText& release, const std::optional<ManifestText>& local,
                        const std::optional<ManifestText>& journal, const ReleaseChoice& choice,
                        const std::optional<AcceptedFloor>& record, const PlacedFiles& placed) {
    remote_ = &release.parsed.manifest;
    local_ = local ? &local->parsed.manifest : nullptr;
    const ApplyInputs inputs{remote_, local_, journal ? &journal->parsed.manifest : nullptr,
                             choice.needsNewerUpdater.has_value()};
    ApplyPlan plan = PlanApply(inputs, KnownContents(&placed, inputs.local, inputs.journal), game_);
    if (plan.endsAt) return *choice.needsNewerUpdater;
    auto kept = SettleWithDisk(plan, *remote_, game_, cancel_);
    if (!kept) return kept.Error();
    const bool recordStays = RecordStays(plan, *remote_, kept.Value());
    const RecordSteps steps = PlanRecordSteps(plan, inputs, recordStays, local && local->SameTextAs(release));

    if (!plan.contents.empty()) {
        if (auto made = staging_.Create(); !made) return made;
        if (auto built = Build(release, plan.contents, plan.downloading); !built) {
            const bool packsMissing = built.Error().status == EngineStatus::ServerError;
            return packsMissing && choice.refusalWithoutPacks ? *choice.refusalWithoutPacks : built;
        }
    }
    if (steps.saves) {
        status_.Status(EngineStatus::Saving);
        // Nothing moves while the game (or anything else) holds a file that
        // would change, or while a folder on the way is a link elsewhere: a
        // running game means nothing applied, not half.
        if (steps.movesFiles)
            if (auto free = CheckTargetsFree(plan.contents, plan.dropped); !free) return free;
        if (auto made = staging_.Create(); !made) return made;
        if (auto raised = RaiseFloor(record, release); !raised) return raised;
    }
    // From the first move on, the journal says which release the disk is
    // on its way to, and the record lists every file that may be placed,
    // whatever stops the run.
    if (steps.writesJournal)
        if (auto written = records_.WriteJournal(release); !written) return written;
    if (steps.placedBeforeMoves)
        if (auto written = records_.WritePlaced([&](const TextPieces& take) {
                return plan.known.WriteWhileMoving(*remote_, *steps.placedBeforeMoves, take);
            });
            !written)
            return written;
    if (steps.movesFiles)
        if (auto moved = Move(plan.contents, plan.dropped); !moved) return moved;
    if (steps.placedAfterMoves)
        if (auto written = WritePlacedAfterRelease(plan.known, kept.Value()); !written) return written;
    if (steps.writesLocalManifest)
        if (auto written = records_.WriteLocalManifest(release); !written) return written;
    if (steps.endStatus == EngineStatus::UpdaterObsolete) return *choice.needsNewerUpdater;
    // The local manifest now says what the journal said.
    if (auto removed = records_.RemoveJournal(); !removed) return removed;
    if (auto removed = records_.RemoveFetched(); !removed) return removed;
    if (auto tidy = staging_.RemoveLeftovers(); !tidy) return tidy;
    status_.Status(EngineStatus::UpToDate);
    return {};
}

// The record once the release is in place, written as it is made.
Result<void> Run::WritePlacedAfterRelease(const KnownContents& known, const std::vector<bool>& kept) const {
    return records_.WritePlaced([&](const TextPieces& take) {
        PlacedFilesWriter writer(take);
        PlacedAfterRelease(*remote_, known, game_, kept, [&](const PlacedFile& file) { writer.Add(file); });
        return writer.Finish();
    });
}

// A file that became a folder, or the files of a folder that became a
// file, make way for the new files; the other files the release dropped go
// once the new ones are in place.
Result<void> Run::Move(const ContentsToBuild& contents, const DroppedFiles& dropped) const {
    if (auto cleared = game_.RemoveFiles(dropped.inTheWay); !cleared) return cleared;
    if (auto placed = Place(contents); !placed) return placed;
    return game_.RemoveFiles(dropped.afterwards);
}

// Records the accepted remote manifest as the floor unless the record
// already says so: it replaces a lower record, an earlier engine's, and one
// of a key no longer trusted.
Result<void> Run::RaiseFloor(const std::optional<AcceptedFloor>& record, const ManifestText& remote) const {
    const AcceptedFloor floor = FloorOf(remote);
    if (record == floor) return {};
    return records_.WriteFloor(floor);
}

// Nothing of the server's head or manifest but its last line is looked at
// before its signature checks out.
Result<ServedManifest> Run::FetchRemote(const std::optional<ManifestText>& local) {
    auto session = InternetSession::Open(url_, engineVersion_);
    if (!session) return session.Error();
    session_ = std::move(session).Value();
    return FetchServedManifest(session_, local, records_.FetchedManifest(), SecondsSince1970(), cancel_);
}

// Builds every content in the staging folder: from what is on the disk
// first, then from the server's packs (status `downloading`, with done and
// total counting the bytes of the ranges fetched), then made ready (7).
Result<void> Run::Build(const ManifestText& release, const ContentsToBuild& contents, EngineStatus downloading) {
    if (auto placed = HoldPlacesOf(release); !placed) return placed;
    // A release read lean has its chunk digests read again from its text,
    // held open with writers shut out until the contents are built.
    std::optional<ChunkDigests> texts;
    if (!remote_->HoldsChunks()) {
        auto opened = ChunkDigests::Open(leanRelease_ ? *leanRelease_ : release);
        if (!opened) return opened.Error();
        texts.emplace(std::move(opened).Value());
    }
    auto leftovers = staging_.List();
    if (!leftovers) return leftovers.Error();
    std::uint64_t present = 0;
    for (const ContentToBuild& content : contents) {
        const Sha256Digest& sha256 = remote_->files[content.source].sha256;
        for (const std::wstring& name : {staging_.BuildName(sha256), staging_.ReadyName(sha256)})
            if (const auto found = leftovers.Value().find(name); found != leftovers.Value().end())
                present += found->second;
    }
    const std::uint64_t needed = StagingBytesNeeded(*remote_, contents, present);
    if (auto room = CheckFreeSpace(staging_.Path(), needed); !room) return room;

    ContentBuild build(*remote_, texts ? &*texts : nullptr, local_, game_, staging_, cancel_);
    auto wanted = build.Prepare(contents, leftovers.Value());
    if (!wanted) return wanted.Error();
    const std::vector<PackRange> ranges = JoinIntoRanges(build.Needed(), std::move(wanted).Value());
    status_.Status(downloading);
    TransferProgress progress(status_, RangeBytes(ranges));
    if (auto fetched =
            FetchRanges({session_, *remote_, build.Needed(), build}, ranges, build, {cancel_, progress});
        !fetched)
        return fetched;
    status_.Status(EngineStatus::Extracting);
    return build.Finish();
}

// The release read for its files alone (the local manifest, which the
// server names again) is read once more, lean: its chunk lines' places are
// what the contents are fetched by.
Result<void> Run::HoldPlacesOf(const ManifestText& release) {
    if (HoldsStoredPlaces(*remote_)) return {};
    auto lean = ReadTrustedManifest(release.file, ChunkLinesKept::KeysAndPlaces);
    if (!lean) return lean.Error();
    if (!lean.Value().SameTextAs(release)) return InvalidFormat("the local manifest changed during the run");
    leanRelease_ = std::move(lean).Value();
    remote_ = &leanRelease_->parsed.manifest;
    return {};
}

// How long a file held open by another program is waited for before the
// run gives up without having moved anything: long enough for a game that
// is closing, short enough for a player who waits.
constexpr unsigned kHeldFileWaitMilliseconds = 3000;

Result<void> Run::CheckTargetsFree(const ContentsToBuild& contents, const DroppedFiles& dropped) const {
    std::vector<std::string> targets = PathsToPlace(*remote_, contents);
    targets.insert(targets.end(), dropped.inTheWay.begin(), dropped.inTheWay.end());
    targets.insert(targets.end(), dropped.afterwards.begin(), dropped.afterwards.end());
    return game_.CheckFree(targets, kHeldFileWaitMilliseconds);
}

// Each file becomes its new version in one rename. Files that share a
// content get copies; the last one gets the built file itself. The game's
// files go first; the updater's own files follow one right after another,
// so that they switch as a set as nearly as renames allow: should one of
// them fail (or the run be stopped among them), those already switched are
// switched back, and the updater stays the old set.
Result<void> Run::Place(const ContentsToBuild& contents) const {
    UpdaterSwitch updaterSwitch(game_);
    for (const bool updaterFiles : {false, true}) {
        for (const ContentToBuild& content : contents) {
            std::vector<std::string_view> paths;
            for (const FileToWrite& file : contents.FilesOf(content)) {
                const std::string_view path = remote_->files[file.index].path;
                if (IsUpdaterFile(path) == updaterFiles) paths.push_back(path);
            }
            auto placed = PlaceContent(content, contents, paths, updaterFiles ? &updaterSwitch : nullptr);
            if (placed) continue;
            auto back = updaterSwitch.PutBack();
            if (back || IsStop(placed.Error())) return placed;
            return EngineError{placed.Error().status, placed.Error().reason + "; " + back.Error().reason, true};
        }
    }
    return {};
}

// Puts the content at these paths, through `updaterSwitch` when they are
// the updater's own files. The last path takes the built file itself, so
// `paths` must be all of the content's paths that remain to be placed.
Result<void> Run::PlaceContent(const ContentToBuild& content, const ContentsToBuild& contents,
                               const std::vector<std::string_view>& paths, UpdaterSwitch* updaterSwitch) const {
    const bool updaterFiles = updaterSwitch != nullptr;
    const Sha256Digest& sha256 = remote_->files[content.source].sha256;
    const std::wstring ready = staging_.ReadyPath(sha256);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (auto go = Check(); !go) return go;
        std::wstring source = ready;
        const bool lastOfAll =
            i + 1 == paths.size() && (updaterFiles || !HasUpdaterFile(contents.FilesOf(content)));
        if (!lastOfAll) {
            source = staging_.CopyPath(sha256);
            if (auto copied = CopyFlushed(ready, source); !copied) return copied;
        }
        auto placed = updaterFiles ? updaterSwitch->Put(source, paths[i]) : game_.PutInPlace(source, paths[i]);
        if (!placed) return placed;
    }
    return {};
}

bool Run::HasUpdaterFile(std::span<const FileToWrite> files) const {
    return std::any_of(files.begin(), files.end(),
                       [&](const FileToWrite& file) { return IsUpdaterFile(remote_->files[file.index].path); });
}

}  // namespace

Result<void> RunUpdate(const DataUrl& url, const RunPaths& paths, std::uint64_t engineVersion,
                       const StatusWriter& status, const CancelFlag& cancel) {
    return Run(url, paths, engineVersion, status, cancel).Execute();
}

}  // namespace velmora::engine
