#include "change_report.h"

#include <unordered_map>
#include <unordered_set>

#include "core/dropped_files.h"
#include "core/case_fold.h"

namespace velmora::publish {
namespace {

// Every folder that holds a listed file, in the folded form.
std::unordered_set<std::string> FoldedFolders(const engine::Manifest* manifest) {
    std::unordered_set<std::string> folders;
    if (!manifest) return folders;
    for (const auto& file : manifest->files)
        for (std::string_view folder : engine::ParentFolders(file.path)) folders.insert(engine::FoldCase(folder));
    return folders;
}

}  // namespace

ChangeReport CompareManifests(const engine::Manifest* previous, const engine::Manifest& next) {
    ChangeReport report;
    std::unordered_map<std::string, const engine::ManifestFile*> before;
    if (previous)
        for (const auto& file : previous->files) before.emplace(engine::FoldCase(file.path), &file);
    std::unordered_set<std::string> stillListed;
    for (const auto& file : next.files) {
        const std::string key = engine::FoldCase(file.path);
        const auto found = before.find(key);
        if (found == before.end()) {
            report.added.emplace_back(file.path);
            continue;
        }
        stillListed.insert(key);
        if (found->second->sha256 != file.sha256 || found->second->size != file.size)
            report.changed.emplace_back(file.path);
    }
    if (previous)
        for (const auto& file : previous->files)
            if (!stillListed.contains(engine::FoldCase(file.path))) report.removed.emplace_back(file.path);
    const std::unordered_set<std::string> foldersBefore = FoldedFolders(previous);
    const std::unordered_set<std::string> foldersAfter = FoldedFolders(&next);
    for (const auto& path : report.removed)
        if (foldersAfter.contains(engine::FoldCase(path))) report.nowFolders.push_back(path);
    for (const auto& path : report.added)
        if (foldersBefore.contains(engine::FoldCase(path))) report.nowFiles.push_back(path);
    return report;
}

std::string FormatChangeReport(const ChangeReport& report) {
    std::string text;
    for (const auto& path : report.added) text += "added   " + path + "\n";
    for (const auto& path : report.changed) text += "changed " + path + "\n";
    for (const auto& path : report.removed) text += "removed " + path + "\n";
    for (const auto& path : report.nowFolders) text += "now a folder " + path + "\n";
    for (const auto& path : report.nowFiles) text += "now a file " + path + "\n";
    text += std::to_string(report.added.size()) + " added, " + std::to_string(report.changed.size()) +
            " changed, " + std::to_string(report.removed.size()) + " removed\n";
    return text;
}

}  // namespace velmora::publish
