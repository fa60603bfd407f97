#include "core/apply_plan.h"

#include <algorithm>

#include "core/path_rules.h"
#include "core/placed_files.h"
#include "core/stamps_seen.h"

namespace velmora::engine {
namespace {

// Drops every file but the updater's own from the contents, and the
// contents left without files.
void KeepOnlyUpdaterFiles(const Manifest& release, std::vector<ContentToBuild>& contents) {
    for (ContentToBuild& content : contents)
        std::erase_if(content.files, [&](const FileToWrite& file) { return !IsUpdaterFile(release.files[file.index].path); });
    std::erase_if(contents, [](const ContentToBuild& content) { return content.files.empty(); });
}

}  // namespace

std::vector<std::string> PathsToPlace(const Manifest& release, const std::vector<ContentToBuild>& contents) {
    std::vector<std::string> paths;
    for (const ContentToBuild& content : contents)
        for (const FileToWrite& file : content.files) paths.push_back(release.files[file.index].path);
    return paths;
}

ApplyPlan PlanApply(const ApplyInputs& inputs, const InstalledFiles& disk) {
    const Manifest& release = *inputs.release;
    ApplyPlan plan;
    plan.known = KnownContents(&inputs.placedRecord, inputs.local, inputs.journal);
    // The release's files, most of them the record's too, asked about once.
    std::vector<std::string_view> paths;
    paths.reserve(release.files.size());
    for (const ManifestFile& file : release.files) paths.push_back(file.path);
    const StampsSeen seen(paths, disk);
    const Manifest vouched = plan.known.CheckStamps(seen);
    UpdatePlan update = PlanUpdate(inputs.journal ? nullptr : &vouched, release, seen);
    plan.downloading = inputs.local ? EngineStatus::DownloadingChanges : EngineStatus::DownloadingClient;
    plan.contents = std::move(update.contents);
    if (inputs.updaterFilesOnly) {
        KeepOnlyUpdaterFiles(release, plan.contents);
        if (plan.contents.empty()) plan.endsAt = EngineStatus::UpdaterObsolete;
    } else {
        plan.dropped = FindDroppedFiles(plan.known.PathsPlacedSoFar(), release);
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
            for (const ContentToBuild& content : plan.contents)
                for (const FileToWrite& file : content.files) placing[file.index] = true;
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
