#pragma once
// What a run does to go to a release it has chosen, decided before it
// touches anything: the contents to build, the files to drop, and the
// engine's records to write around the moves (the journal, the record of
// placed files, the floor and the local manifest) with the status the run
// ends with. The Windows side performs these steps in order.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dropped_files.h"
#include "core/engine_status.h"
#include "core/known_contents.h"
#include "core/manifest.h"
#include "core/placed_files.h"
#include "core/update_plan.h"

namespace velmora::engine {

struct ApplyInputs {
    const Manifest* release = nullptr;  // what the run goes to
    const Manifest* local = nullptr;    // the local manifest, when it checks out
    const Manifest* journal = nullptr;  // an interrupted apply's, when it checks out
    // The release needs a newer engine: only the updater's own files it
    // lists are brought in; the newer updater does the rest.
    bool updaterFilesOnly = false;
};

struct ApplyPlan {
    EngineStatus downloading = EngineStatus::DownloadingChanges;  // 2 without a local manifest
    // UpdaterObsolete when only the updater's files were asked for and none
    // of them differs: the run ends there.
    std::optional<EngineStatus> endsAt;
    ContentsToBuild contents;
    DroppedFiles dropped;
    // What the record and the manifests say of each file.
    KnownContents known;
};

// A listed file is up to date, and is not read, when the record of placed
// files vouches for its content (the stamp the disk gives is the recorded
// one). After an interrupted apply no file is taken on trust: every file
// of the right size is then hashed before anything is fetched for it. What
// the record, the local manifest or the journal listed and the release
// does not is dropped. `known`: what the record of placed files (empty
// when there is no sound record) and the inputs' local manifest and
// journal say; the plan keeps it.
ApplyPlan PlanApply(const ApplyInputs& inputs, KnownContents known, const InstalledFiles& disk);

struct RecordSteps {
    // Contents to place or files to drop: the journal and the record of
    // placed files are written before the first move.
    bool movesFiles = false;
    // Anything to write at all (status 5): the floor is raised first.
    bool saves = false;
    bool writesJournal = false;
    // The record of placed files before the first move: everything placed
    // so far and the release's files the run may place, marked here by
    // index into its files (KnownContents::WriteWhileMoving). And whether
    // it is written again once the dropped files are gone (the release's
    // files with the stamps they have then, PlacedAfterRelease).
    std::optional<std::vector<bool>> placedBeforeMoves;
    bool placedAfterMoves = false;
    bool writesLocalManifest = false;
    EngineStatus endStatus = EngineStatus::UpToDate;
};

// The paths the contents go to.
std::vector<std::string> PathsToPlace(const Manifest& release, const ContentsToBuild& contents);

// Whether the run moves nothing and the record of placed files already says
// what it would once the release is in place (`kept`: the player's files
// the run keeps, by index into the release's files). Asks the disk nothing.
bool RecordStays(const ApplyPlan& plan, const Manifest& release, const std::vector<bool>& kept);

// `plan.contents` without those already in place (and the player's files
// kept), `plan.dropped` without the player's files kept. `recordStays`:
// RecordStays. `localIsRelease`: the local manifest's bytes are the
// release's.
RecordSteps PlanRecordSteps(const ApplyPlan& plan, const ApplyInputs& inputs, bool recordStays,
                            bool localIsRelease);

}  // namespace velmora::engine
