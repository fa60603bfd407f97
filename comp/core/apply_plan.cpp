#include "core/apply_plan.h"

#include <algorithm>

#include "core/path_rules.h"
#include "core/placed_files.h"
#include "core/stamps_seen.h"

namespace velmora::engine {

std::vector<std::string> PathsToPlace(const Manifest& release, const ContentsToBuild& contents) {
    std::vector<std::string> paths;
    for (const FileToWrite& file : contents.Files()) paths.emplace_back(release.files[file.index].path);
    return paths;
}

ApplyPlan PlanApply(const ApplyInputs& inputs, KnownContents known, const InstalledFiles& disk) {
    const Manifest& release = *inputs.release;
    ApplyPlan plan;
    plan.known = std::move(known);
    // The release's files, most of them the record's too, asked about once.
    const StampsSeen seen(release.files, disk);
    plan.known.CheckStamps(seen);
    // After an interrupted apply no file is taken as in place.
    const ListedFilesInPlace noneInPlace({});
    const FilesInPlace& inPlace = inputs.journal ? static_cast<const FilesInPlace&>(noneInPlace) : plan.known;
    UpdatePlan update = PlanUpdate(inPlace, release, seen);
    plan.downloading = inputs.local ? EngineStatus::DownloadingChanges : EngineStatus::DownloadingClient;
    plan.contents = std::move(update.contents);
    if (inputs.updaterFilesOnly) {
        plan.contents.KeepFiles(
            [&](const FileToWrite& file) { return IsUpdaterFile(release.files[file.index].path); });
        if (plan.contents.empty()) plan.endsAt = EngineStatus::UpdaterObsolete;
    } else {
        plan.dropped = FindDroppedFiles(plan.known.PlacedPathsGoneFrom(release), release);
    }
    return plan;
}

bool RecordStays(const ApplyPlan& plan, const Manifest& release, const std::vector<bool>& kept) {
    const bool movesNothing = plan.contents.empty() && plan.dropped.inTheWay.empty() && plan.dropped.afterwards.empty();
    return movesNothing && plan.known.RecordIsRelease(release, kept);
}

RecordSteps PlanRecordSteps(const ApplyPlan& plan, const ApplyInputs& inputs, bool recordStays,
                            bool localIsRelease) {
    RecordSteps steps;
    const bool updaterOnly = inputs.updaterFilesOnly;
    const Manifest& release = *inputs.release;
    steps.movesFiles = !plan.contents.empty() || !plan.dropped.inTheWay.empty() || !plan.dropped.afterwards.empty();
    if (steps.movesFiles) {
        std::vector<bool> placing(release.files.size(), !updaterOnly);
        if (updaterOnly)
            for (const FileToWrite& file : plan.contents.Files()) placing[file.index] = true;
        // Placing only the updater's files takes the game no nearer to the
        // release: no journal then, nor a record rewritten afterwards.
        steps.writesJournal = !updaterOnly;
        steps.placedBeforeMoves = std::move(placing);
    }
    steps.placedAfterMoves = !updaterOnly && (steps.movesFiles || !recordStays);
    steps.writesLocalManifest = !updaterOnly && !localIsRelease;
    steps.saves = steps.movesFiles || steps.writesLocalManifest || steps.placedAfterMoves;
    steps.endStatus = updaterOnly ? EngineStatus::UpdaterObsolete : EngineStatus::UpToDate;
    return steps;
}

}  // namespace velmora::engine
