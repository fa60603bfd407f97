#include "change_report.h"

#include <unordered_map>
#include <unordered_set>

#include "core/case_fold.h"
#include "core/update_plan.h"

namespace velmora::publish {
namespace {

// The disk of a player whose folder matches `manifest` exactly.
class DiskMatching : public engine::InstalledFiles {
public:
    explicit DiskMatching(const engine::Manifest* manifest) {
        if (!manifest) return;
        for (const auto& file : manifest->files) sizes_.emplace(engine::FoldCase(file.path), file.size);
    }
    std::optional<std::uint64_t> FileSize(std::string_view path) const override {
        const auto found = sizes_.find(engine::FoldCase(path));
        if (found == sizes_.end()) return std::nullopt;
        return found->second;
    }

private:
    std::unordered_map<std::string, std::uint64_t> sizes_;
};

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
            report.added.push_back(file.path);
            continue;
        }
        stillListed.insert(key);
        if (found->second->sha256 != file.sha256 || found->second->size != file.size)
            report.changed.push_back(file.path);
    }
    if (previous)
        for (const auto& file : previous->files)
            if (!stillListed.contains(engine::FoldCase(file.path))) report.removed.push_back(file.path);
    report.bytesToDownload = engine::PlanUpdate(previous, next, DiskMatching(previous)).totalStoredBytes;
    return report;
}

std::string FormatChangeReport(const ChangeReport& report) {
    std::string text;
    for (const auto& path : report.added) text += "added   " + path + "\n";
    for (const auto& path : report.changed) text += "changed " + path + "\n";
    for (const auto& path : report.removed) text += "removed " + path + "\n";
    text += std::to_string(report.added.size()) + " added, " + std::to_string(report.changed.size()) +
            " changed, " + std::to_string(report.removed.size()) + " removed; " +
            std::to_string(report.bytesToDownload) + " bytes to download\n";
    return text;
}

}  // namespace velmora::publish
