#include "core/apply_plan.h"

#include <algorithm>

#include "core/path_rules.h"
#include "core/placed_files.h"

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
    UpdatePlan update = PlanUpdate(inputs.journal ? nullptr : inputs.local, release, disk);
    ApplyPlan plan;
    plan.downloading = inputs.local ? EngineStatus::DownloadingChanges : EngineStatus::DownloadingClient;
    plan.contents = std::move(update.contents);
    plan.placedSoFar = UnionOfPaths({inputs.placedRecord,
                                     inputs.local ? PathsOf(*inputs.local) : std::vector<std::string>(),
                                     inputs.journal ? PathsOf(*inputs.journal) : std::vector<std::string>()});
    if (inputs.updaterFilesOnly) {
        KeepOnlyUpdaterFiles(release, plan.contents);
        if (plan.contents.empty()) plan.endsAt = EngineStatus::UpdaterObsolete;
    } else {
        plan.dropped = FindDroppedFiles(plan.placedSoFar, release);
    }
    return plan;
}

RecordSteps PlanRecordSteps(const ApplyPlan& plan, const ApplyInputs& inputs, std::string_view placedText,
                            bool localIsRelease) {
    RecordSteps steps;
    const bool updaterOnly = inputs.updaterFilesOnly;
    steps.movesFiles = !plan.contents.empty() || !plan.dropped.inTheWay.empty() || !plan.dropped.afterwards.empty();
    const std::vector<std::string> placing =
        updaterOnly ? PathsToPlace(*inputs.release, plan.contents) : PathsOf(*inputs.release);
    const std::string before = PlacedFilesText(UnionOfPaths({plan.placedSoFar, placing}));
    const std::string after = updaterOnly ? before : PlacedFilesText(placing);
    if (steps.movesFiles) {
        // Placing only the updater's files takes the game no nearer to the
        // release: no journal then.
        steps.writesJournal = !updaterOnly;
        steps.placedBeforeMoves = before;
    }
    if (after != (steps.movesFiles ? std::string_view(before) : placedText)) steps.placedAfterMoves = after;
    steps.writesLocalManifest = !updaterOnly && !localIsRelease;
    steps.saves = steps.movesFiles || steps.writesLocalManifest || steps.placedAfterMoves.has_value();
    steps.endStatus = updaterOnly ? EngineStatus::UpdaterObsolete : EngineStatus::UpToDate;
    return steps;
}

}  // namespace velmora::engine
